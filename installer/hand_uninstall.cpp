// The uninstall of a wizard install, and the program folder's removal, which the running
// program cannot do for itself.
#include "installer/hand_uninstall.h"

#include "installer/registration.h"

#include "engine/apps_entry.h"
#include "engine/install_files.h"
#include "engine/opened_folder.h"
#include "engine/paths.h"
#include "engine/setup_lock.h"
#include "engine/whole_file.h"

#include <algorithm>
#include <chrono>

namespace nimbic {

namespace {

// The Temp copy gives up waiting after this long in all: a program that never ends must not keep
// it (and its folder) around; the program folder then goes at the next restart instead.
constexpr std::chrono::milliseconds finish_wait{60000};

// Nothing of ours is recorded in the product folder: no setup has installed anything since the
// uninstall emptied the record.
bool NothingRecorded(const std::u16string& folder)
{
    InstallRecord record;
    const record_status status = record.Load(RecordPathIn(folder));
    return status == record_status::missing || (status == record_status::ok && record.empty());
}

bool RemoveEmptyFolder(const std::u16string& folder)
{
    OpenedFolder parent;
    return OpenedFolder::Open(path_parent(folder), sys::folder_creation::open_existing, nullptr,
                              &parent) == sys::open_result::opened &&
           sys::remove_child_folder(parent.handle(), path_filename(folder)) ==
               sys::remove_result::removed;
}

// The program copy, then the product folder and the maker's folder above it once empty; a copy
// that is still held goes at the next restart, and the folders with it.
void DeleteProgramFolder(const std::u16string& folder)
{
    OpenedFolder product;
    if (OpenedFolder::Open(folder, sys::folder_creation::open_existing, nullptr, &product) !=
        sys::open_result::opened)
        return;
    sys::file_handle program = sys::invalid_file;
    const sys::open_result opened = sys::open_child_file(product.handle(), setup_program_name,
                                                         sys::child_access::remove, &program);
    bool at_restart = false;
    bool deleted = false;
    if (opened == sys::open_result::opened) {
        // A program still running opens for deletion, yet Windows refuses to delete its image.
        deleted = sys::delete_opened(program);
        sys::close_file(program);
    }
    if (!deleted && (opened == sys::open_result::held || opened == sys::open_result::opened))
        at_restart = sys::delete_at_restart(product.ChildPath(setup_program_name));
    product.Close();
    const std::u16string maker = path_parent(folder);
    if (at_restart) {
        sys::delete_at_restart(folder);
        sys::delete_at_restart(maker);
        return;
    }
    if (RemoveEmptyFolder(folder))
        RemoveEmptyFolder(maker);
}

// A copy of this program in a folder of its own below the Windows Temp folder, started to finish
// the uninstall once `waited` have ended. Any user may add files to a folder that inherits the
// Temp folder's access list, and an elevated program takes a DLL from its own folder first: this
// one is made anew with a list of its own, Administrators and SYSTEM only.
bool StartRemover(const std::vector<uint32_t>& waited)
{
    std::u16string own;
    std::string bytes;
    std::u16string temp;
    OpenedFolder temp_folder;
    OpenedFolder own_folder;
    file_change change = file_change::created;
    if (!OwnProgramBytes(&own, &bytes) || !sys::system_temp_folder(&temp) ||
        OpenedFolder::Open(temp, sys::folder_creation::open_existing, nullptr, &temp_folder) !=
            sys::open_result::opened ||
        temp_folder.OpenChild(u"nimbic-uninstall-" + RandomHex(),
                              sys::folder_creation::create_private, nullptr,
                              &own_folder) != sys::open_result::opened ||
        InstallFile(own_folder, setup_program_name, bytes, std::nullopt, nullptr, &change) !=
            install_file_status::done)
        return false;
    std::u16string arguments = u"/finish-uninstall";
    for (const uint32_t process : waited) {
        const std::string number = std::to_string(process);
        arguments += u" " + std::u16string(number.begin(), number.end());
    }
    return sys::start_program(own_folder.ChildPath(setup_program_name), arguments);
}

void RemoveProgram(const std::u16string& folder, std::vector<uint32_t> waited)
{
    std::u16string own;
    const std::u16string program = path_join(folder, setup_program_name);
    if (!sys::own_program_path(&own) || !same_path(CleanPath(own), program)) {
        DeleteProgramFolder(folder);
        return;
    }
    // A running program cannot delete itself: its copy does it once this process has ended.
    waited.push_back(sys::own_process_id());
    if (StartRemover(waited))
        return;
    sys::delete_at_restart(program);
    sys::delete_at_restart(folder);
    sys::delete_at_restart(path_parent(folder));
}

} // namespace

record_status HandUninstall::Load()
{
    m_complete = false;
    m_msi_product = MsiProductInstalled();
    if (!ProductFolderInUse(&m_folder))
        return record_status::unreadable;
    return m_record.Load(RecordPathIn(m_folder));
}

std::vector<UninstallPlace> HandUninstall::Places() const
{
    std::vector<UninstallPlace> places;
    for (const RecordEntry& entry : m_record.entries()) {
        auto place = std::find_if(places.begin(), places.end(), [&](const UninstallPlace& known) {
            return known.target == entry.target;
        });
        if (place == places.end())
            place = places.insert(places.end(), UninstallPlace{entry.target, {}});
        const std::u16string folder = path_parent(entry.path);
        if (std::none_of(place->folders.begin(), place->folders.end(),
                         [&](const std::u16string& known) { return same_path(known, folder); }))
            place->folders.push_back(folder);
    }
    return places;
}

UninstallReport HandUninstall::Run(when_held held,
                                   const std::function<void(size_t, size_t)>& progress,
                                   const std::vector<uint32_t>& waited)
{
    m_complete = false;
    // Windows Installer would keep the product registered with its files gone, and its own
    // uninstall removes the files this one lists: only the package's entry may stand, and an
    // entry a wizard run made before the package came goes.
    if (m_msi_product) {
        DeleteAppsEntry(apps_entry_key);
        return {};
    }
    UninstallOptions options;
    options.held = held;
    options.progress = progress;
    UninstallReport report = UninstallRecorded(m_record, {}, options);
    // An entry may go only with the record emptied: a file that failed stays listed for a retry.
    m_complete = !m_folder.empty() && m_record.Save(RecordPathIn(m_folder)) == record_status::ok &&
                 m_record.empty();
    if (!m_complete)
        return report;
    // The entry before the program: it never names a program that is gone.
    m_complete = DeleteAppsEntry(apps_entry_key);
    if (m_complete)
        RemoveProgram(m_folder, waited);
    return report;
}

int FinishUninstall(const std::vector<uint32_t>& waited)
{
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + finish_wait;
    const auto left = [deadline] {
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
        return static_cast<uint32_t>(std::max<int64_t>(0, rest.count()));
    };
    for (const uint32_t process : waited)
        sys::wait_for_process_exit(process, left());
    // A setup may have started since the uninstall ended and put the program back, with an
    // entry and a record: under the writing lock, only a product folder nobody uses any more
    // goes. A program still held (its parent did not end in time) goes at the restart.
    SetupLock lock;
    std::u16string folder;
    if (lock.Acquire(left()) == sys::lock_result::acquired && ProductFolder(&folder) &&
        !MsiProductInstalled() && !AppsEntryExists(apps_entry_key) && NothingRecorded(folder))
        DeleteProgramFolder(folder);
    // This copy and its folder cannot go while it runs.
    std::u16string own;
    if (sys::own_program_path(&own)) {
        sys::delete_at_restart(own);
        sys::delete_at_restart(path_parent(own));
    }
    return 0;
}

} // namespace nimbic
