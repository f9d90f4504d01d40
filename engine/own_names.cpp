// Telling our own file names from everyone else's.
#include "engine/own_names.h"

#include "engine/install_files.h"
#include "engine/install_record.h"
#include "engine/paths.h"

#include <algorithm>

namespace nimbic {

namespace {

constexpr std::u16string_view backup_ending = u".nimbic-old";
constexpr std::u16string_view temporary_ending = u".nimbic-new";
constexpr size_t random_digits = 16;

bool EndsWith(std::u16string_view text, std::u16string_view ending)
{
    return text.size() >= ending.size() &&
           same_path(text.substr(text.size() - ending.size()), ending);
}

bool IsHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The name before ".<16 hex digits><ending>", or nothing when `candidate` is not so made.
std::u16string_view StemBefore(std::u16string_view candidate, std::u16string_view ending)
{
    const size_t marked = random_digits + 1 + ending.size();
    if (candidate.size() <= marked || !EndsWith(candidate, ending))
        return {};
    const std::u16string_view random = candidate.substr(candidate.size() - marked, marked);
    if (random[0] != u'.' ||
        !std::all_of(random.begin() + 1, random.begin() + 1 + random_digits, IsHexDigit))
        return {};
    return candidate.substr(0, candidate.size() - marked);
}

} // namespace

bool IsOwnFileName(std::u16string_view path)
{
    const std::u16string name = path_filename(path);
    if (same_path(name, plugin_file_name))
        return same_path(path_filename(path_parent(path)), maker_folder_name);
    return same_path(name, install_record_name) || EndsWith(name, u".jsx") ||
           EndsWith(name, u".jsxbin") || EndsWith(name, u".jsxinc");
}

bool IsProgramCopyPath(std::u16string_view path)
{
    const std::u16string product = path_parent(path);
    return same_path(path_filename(path), program_copy_name) &&
           same_path(path_filename(product), path_filename(product_folder_name)) &&
           same_path(path_filename(path_parent(product)), maker_folder_name);
}

bool IsBackupNameOf(std::u16string_view candidate, std::u16string_view name)
{
    const std::u16string_view stem = StemBefore(candidate, backup_ending);
    return !stem.empty() && same_path(stem, name);
}

bool IsAsideName(std::u16string_view name)
{
    return !StemBefore(name, backup_ending).empty() || !StemBefore(name, temporary_ending).empty();
}

} // namespace nimbic
