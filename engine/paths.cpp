// Backslash path helpers shared by the host scan, the package extractor and the worker.
#include "engine/paths.h"

#include "engine/system/system.h"

#include <algorithm>
#include <vector>

namespace nimbic {

namespace {

std::u16string_view without_trailing_separator(std::u16string_view path)
{
    if (!path.empty() && path.back() == u'\\')
        path.remove_suffix(1);
    return path;
}

} // namespace

std::u16string path_join(std::u16string_view base, std::u16string_view tail)
{
    if (tail.empty())
        return std::u16string(base);
    std::u16string joined(base);
    if (!joined.empty() && joined.back() != u'\\')
        joined.push_back(u'\\');
    if (tail.front() == u'\\')
        tail.remove_prefix(1);
    joined.append(tail);
    return joined;
}

std::u16string path_parent(std::u16string_view path)
{
    path = without_trailing_separator(path);
    const size_t cut = path.rfind(u'\\');
    if (cut == std::u16string_view::npos)
        return {};
    return std::u16string(path.substr(0, cut));
}

std::u16string path_filename(std::u16string_view path)
{
    path = without_trailing_separator(path);
    const size_t cut = path.rfind(u'\\');
    if (cut == std::u16string_view::npos)
        return std::u16string(path);
    return std::u16string(path.substr(cut + 1));
}

bool create_directories(std::u16string_view path)
{
    if (path.empty())
        return false;
    struct Pending {
        std::u16string path;
        bool parent_tried = false;
    };
    std::vector<Pending> pending{{std::u16string(path)}};
    while (!pending.empty()) {
        Pending& top = pending.back();
        switch (sys::create_directory(top.path)) {
        case sys::dir_result::created:
        case sys::dir_result::already_exists:
            pending.pop_back();
            break;
        case sys::dir_result::parent_missing: {
            // Still "missing" after its parent was made or found: a file stands in the way.
            // Trying again would never end.
            std::u16string parent = path_parent(top.path);
            if (parent.empty() || top.parent_tried)
                return false;
            top.parent_tried = true;
            pending.push_back({std::move(parent)});
            break;
        }
        case sys::dir_result::failed:
            return false;
        }
    }
    return true;
}

bool same_path(std::u16string_view a, std::u16string_view b)
{
    auto lower = [](char16_t c) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

bool is_inside(std::u16string_view path, std::u16string_view folder)
{
    folder = without_trailing_separator(folder);
    return !folder.empty() && path.size() > folder.size() + 1 && path[folder.size()] == u'\\' &&
           same_path(path.substr(0, folder.size()), folder);
}

std::u16string to_backslashes(std::u16string path)
{
    for (char16_t& unit : path) {
        if (unit == u'/')
            unit = u'\\';
    }
    return path;
}

} // namespace nimbic
