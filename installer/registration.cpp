// The program copy and the Apps entry of a wizard install.
#include "installer/registration.h"

#include "installer/product.h"

#include "engine/install_files.h"
#include "engine/install_record.h"
#include "engine/install_worker.h"
#include "engine/opened_folder.h"
#include "engine/paths.h"
#include "toolkit/core/text_conversion.h"

#include <cstdio>

namespace nimbic {

namespace {

using zksdk::ui::utf8_to_utf16;

std::u16string Trimmed(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return utf8_to_utf16(text);
}

std::u16string Date(const sys::local_clock& day)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", day.year, day.month, day.day);
    return utf8_to_utf16(text);
}

// Deletes the program copy in `folder` when it holds this setup program's bytes or is another
// version of it; anything else with its name is someone else's.
void DeleteOurProgramCopy(const OpenedFolder& folder, const std::string& own)
{
    const std::u16string path = folder.ChildPath(setup_program_name);
    // Asked before the copy is held for deletion, which a module's reader would have to share.
    const bool other_version = IsSetupProgram(path);
    sys::file_handle copy = sys::invalid_file;
    if (sys::open_child_file(folder.handle(), setup_program_name, sys::child_access::remove,
                             &copy) != sys::open_result::opened)
        return;
    std::string bytes;
    if (other_version || (sys::read_opened(copy, setup_program_size_limit, &bytes) && bytes == own))
        sys::delete_opened(copy);
    sys::close_file(copy);
}

// The wizard's own product folder (Program Files\Vantrel\Nimbic Plug-in) once the MSI's product
// lives in another: what its record lists joins the product's record, where the package's
// uninstall finds it, and the record, the program copy (when it is ours) and the folder go. A
// record that cannot be read is left as it is, and so is the folder: nothing it lists may be
// forgotten.
void FoldEarlierProductFolder(const std::u16string& folder, const std::string& own)
{
    std::u16string earlier;
    OpenedFolder old;
    if (!ProductFolder(&earlier) || same_path(earlier, folder) ||
        OpenedFolder::Open(earlier, sys::folder_creation::open_existing, nullptr, &old) !=
            sys::open_result::opened ||
        (sys::is_elevated() && !sys::has_administrator_owner(old.handle())))
        return;
    InstallRecord listed;
    const record_status status = listed.Load(RecordPathIn(earlier));
    if (status != record_status::ok && status != record_status::missing)
        return;
    if (!listed.empty()) {
        InstallRecord product;
        const record_status loaded = product.Load(RecordPathIn(folder));
        if (loaded != record_status::ok && loaded != record_status::missing)
            return;
        for (const RecordEntry& entry : listed.entries()) {
            if (product.Find(entry.path) == nullptr)
                product.Add(entry);
        }
        if (product.Save(RecordPathIn(folder)) != record_status::ok ||
            InstallRecord().Save(RecordPathIn(earlier)) != record_status::ok)
            return;
    }
    DeleteOurProgramCopy(old, own);
    old.Close();
    if (RemoveEmptyFolder(earlier))
        RemoveEmptyFolder(path_parent(earlier));
}

} // namespace

bool RemoveEmptyFolder(const std::u16string& folder)
{
    OpenedFolder parent;
    return OpenedFolder::Open(path_parent(folder), sys::folder_creation::open_existing, nullptr,
                              &parent) == sys::open_result::opened &&
           sys::remove_child_folder(parent.handle(), path_filename(folder)) ==
               sys::remove_result::removed;
}

bool OwnProgramBytes(std::u16string* path, std::string* bytes)
{
    return sys::own_program_path(path) &&
           sys::read_file_bytes(*path, setup_program_size_limit, bytes) == sys::read_result::read &&
           !bytes->empty();
}

std::vector<EntryValue> AppsEntryValues(const EntryFacts& facts)
{
    const std::u16string program = path_join(facts.folder, setup_program_name);
    const std::u16string quoted = u"\"" + program + u"\"";
    std::vector<EntryValue> values = {
        {u"DisplayName", utf8_to_utf16(product::with_host)},
        {u"DisplayVersion", Trimmed(product::version)},
        {u"Publisher", utf8_to_utf16(product::maker)},
        {u"DisplayIcon", program + u",0"},
        {u"InstallLocation", facts.folder},
        {u"InstallDate", Date(facts.today)},
        {u"EstimatedSize", static_cast<uint32_t>((facts.installed_bytes + 1023) / 1024)},
        {u"UninstallString", quoted + u" /uninstall"},
        {u"QuietUninstallString", quoted + u" /uninstall /quiet"},
        {u"NoModify", uint32_t{1}},
        {u"NoRepair", uint32_t{1}},
    };
    if (!product::about_url.empty())
        values.push_back({u"URLInfoAbout", utf8_to_utf16(product::about_url)});
    if (!product::help_url.empty())
        values.push_back({u"HelpLink", utf8_to_utf16(product::help_url)});
    return values;
}

bool MsiProductInstalled()
{
    std::u16string product_code;
    return sys::related_product_installed(std::u16string(msi_upgrade_code), &product_code);
}

bool ProductFolderInUse(std::u16string* folder)
{
    std::u16string product_code;
    if (sys::related_product_installed(std::u16string(msi_upgrade_code), &product_code) &&
        sys::product_install_location(product_code, folder) && !folder->empty())
        return true;
    return ProductFolder(folder);
}

uint64_t InstalledBytes(const std::u16string& record_path, uint64_t program_bytes)
{
    InstallRecord record;
    record.Load(record_path);
    uint64_t bytes = program_bytes;
    for (const RecordEntry& entry : record.entries())
        bytes += entry.size;
    return bytes;
}

registration RegisterInstall(const std::u16string& folder)
{
    std::u16string own;
    std::string program;
    // One entry whichever way the product came: the MSI's, which also owns the program.
    if (MsiProductInstalled()) {
        DeleteAppsEntry(apps_entry_key);
        if (OwnProgramBytes(&own, &program))
            FoldEarlierProductFolder(folder, program);
        return registration::msi_product;
    }
    OpenedFolder product;
    file_change change = file_change::unchanged;
    // Run from the product folder itself, the copy already holds these bytes and stays.
    if (!OwnProgramBytes(&own, &program) ||
        OpenedFolder::Open(folder, sys::folder_creation::create_if_missing, nullptr, &product) !=
            sys::open_result::opened ||
        InstallFile(product, setup_program_name, program, std::nullopt, nullptr, &change) !=
            install_file_status::done)
        return registration::program_not_copied;

    const EntryFacts facts{folder, InstalledBytes(RecordPathIn(folder), program.size()),
                           sys::local_time()};
    return WriteAppsEntry(apps_entry_key, AppsEntryValues(facts)) ? registration::registered
                                                                  : registration::entry_not_written;
}

} // namespace nimbic
