// The uninstall of a wizard install, and the program folder's removal, which the running
// program cannot do for itself.
#include "installer/hand_uninstall.h"

#include "installer/product.h"
#include "installer/registration.h"

#include "engine/apps_entry.h"
#include "engine/file_removal.h"
#include "engine/install_files.h"
#include "engine/opened_folder.h"
#include "engine/own_names.h"
#include "engine/paths.h"
#include "engine/setup_lock.h"
#include "engine/whole_file.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <chrono>

namespace nimbic {

namespace {

// The Temp copy waits for the processes it was given without a limit: they are ours, the
// uninstall window (whose user may read its result page for as long as they like: a copy that
// gave up after a minute left the program and a restart pending) and the copy Settings > Apps
// started, which ends with it. After them it gives the writing lock this long: a setup that
// holds it longer keeps the product folder, and a program copy still running goes aside and at
// the next restart instead.
constexpr std::chrono::milliseconds finish_wait{60000};
constexpr uint32_t without_limit = 0xFFFFFFFF;

// Nothing of ours is recorded in the product folder: no setup has installed anything since the
// uninstall emptied the record.
bool NothingRecorded(const std::u16string& folder)
{
    InstallRecord record;
    const record_status status = record.Load(RecordPathIn(folder));
    return status == record_status::missing || (status == record_status::ok && record.empty());
}

// A copy of the program, or one an earlier uninstall renamed aside or a write left half done:
// names no setup gives the program itself.
bool IsProgramCopyName(std::u16string_view name)
{
    return same_path(name, setup_program_name) || IsBackupNameOf(name, setup_program_name) ||
           IsTemporaryNameOf(name, setup_program_name);
}

// Deletes the program copy `name`, or renames a running one (which Windows will not delete) aside
// and leaves only that aside name for the restart, so that the restart never deletes a program a
// later setup put under the real name. A copy held so that it cannot even be renamed stays: a
// later setup replaces it.
removal RemoveProgramCopy(const OpenedFolder& folder, std::u16string_view name)
{
    sys::file_handle program = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &program);
    if (opened == sys::open_result::missing)
        return removal::deleted;
    if (opened != sys::open_result::opened)
        return removal::failed;
    const removal done = DeleteOrLeaveForRestart(folder, program, name);
    sys::close_file(program);
    return done;
}

enum class program_copies {
    all,        // nothing of ours is installed any more: the program goes, and its folders
    aside_only, // a setup has installed again: only what earlier uninstalls left aside goes
};

// The program copy, then the product folder and the maker's folder above it once empty. When a
// copy is left for the restart the folders are too, which Windows then removes only if nothing
// has been put in them since. What someone else put in the folder keeps it, which is no failure
// of ours.
program_folder DeleteProgramFolder(const std::u16string& folder, program_copies copies)
{
    OpenedFolder product;
    const sys::open_result opened =
        OpenedFolder::Open(folder, sys::folder_creation::open_existing, nullptr, &product);
    if (opened == sys::open_result::missing)
        return program_folder::removed;
    if (opened != sys::open_result::opened)
        return program_folder::left;
    std::vector<std::u16string> children;
    sys::list_children(product.handle(), &children);
    bool at_restart = false;
    bool left = false;
    const auto remove = [&](std::u16string_view name) {
        const removal done = RemoveProgramCopy(product, name);
        at_restart = at_restart || done == removal::at_restart;
        left = left || done == removal::failed;
    };
    for (const std::u16string& child : children) {
        if (IsProgramCopyName(child) && !same_path(child, setup_program_name))
            remove(child);
    }
    if (copies == program_copies::aside_only)
        return program_folder::kept;
    remove(setup_program_name);
    product.Close();
    const std::u16string maker = path_parent(folder);
    if (at_restart) {
        sys::delete_at_restart(folder);
        sys::delete_at_restart(maker);
    } else if (RemoveEmptyFolder(folder)) {
        RemoveEmptyFolder(maker);
    }
    return left ? program_folder::left
                : (at_restart ? program_folder::at_restart : program_folder::removed);
}

// "nimbic-uninstall-" and 16 hex digits, as StartRemover names the Temp copy's folder.
bool IsTempCopyFolderName(std::u16string_view name)
{
    constexpr size_t digits = 16;
    if (name.size() != temp_copy_prefix.size() + digits || !name.starts_with(temp_copy_prefix))
        return false;
    return std::all_of(name.begin() + temp_copy_prefix.size(), name.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    });
}

// One earlier Temp copy's folder: its program (unless it still runs, which Windows will not
// delete) and then the folder, which goes only once empty.
void SweepTempCopy(const OpenedFolder& temp, const std::u16string& name)
{
    OpenedFolder copy;
    // A link is never followed; a folder a standard user made (the name is easy to take first)
    // is not ours.
    if (temp.OpenChild(name, sys::folder_creation::open_existing, nullptr, &copy) !=
            sys::open_result::opened ||
        !sys::has_administrator_owner(copy.handle()))
        return;
    std::vector<std::u16string> children;
    sys::list_children(copy.handle(), &children);
    for (const std::u16string& child : children) {
        sys::file_handle program = sys::invalid_file;
        if (!IsProgramCopyName(child) ||
            sys::open_child_file(copy.handle(), child, sys::child_access::remove, &program) !=
                sys::open_result::opened)
            continue;
        sys::delete_opened(program);
        sys::close_file(program);
    }
    copy.Close();
    sys::remove_child_folder(temp.handle(), name);
}

// A copy of this program in a folder of its own below the Windows Temp folder, started to finish
// the uninstall once `waited` have ended. Any user may add files to a folder that inherits the
// Temp folder's access list, and an elevated program takes a DLL from its own folder first: this
// one is made anew with a list of its own, Administrators and SYSTEM only.
bool StartRemover(const std::vector<uint32_t>& waited, std::u16string* copy)
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
        temp_folder.OpenChild(std::u16string(temp_copy_prefix) + RandomHex(),
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
    *copy = own_folder.ChildPath(setup_program_name);
    return sys::start_program(*copy, arguments);
}

program_folder RemoveProgram(const std::u16string& folder, std::vector<uint32_t> waited,
                             UninstallLog& log)
{
    std::u16string own;
    std::u16string copy;
    const std::u16string program = path_join(folder, setup_program_name);
    const std::string named = "program folder: " + zksdk::ui::utf16_to_utf8(folder);
    std::string why = "a program there still runs";
    program_folder done = program_folder::removed;
    if (!sys::own_program_path(&own) || !same_path(CleanPath(own), program)) {
        done = DeleteProgramFolder(folder, program_copies::all);
    } else {
        // A running program cannot delete itself: its copy does it once this process has ended.
        // Without one, this program goes aside and at the restart.
        waited.push_back(sys::own_process_id());
        if (StartRemover(waited, &copy)) {
            log.Line(named + ", deleted by " + zksdk::ui::utf16_to_utf8(copy) +
                     " once this uninstall has ended");
            return program_folder::by_copy;
        }
        why = "its copy in the Windows Temp folder, which deletes it, could not be started";
        done = DeleteProgramFolder(folder, program_copies::all);
    }
    switch (done) {
    case program_folder::removed:
        log.Line(named + ", removed");
        break;
    case program_folder::at_restart:
        log.Line(named + ", deleted when Windows restarts: " + why);
        break;
    default:
        log.Line(named + ", NOT REMOVED: " + why +
                 ", and the program can be neither deleted nor left for the restart");
        break;
    }
    return done;
}

} // namespace

void SweepTempCopies()
{
    std::u16string temp;
    std::u16string own;
    OpenedFolder temp_folder;
    std::vector<std::u16string> children;
    if (!sys::system_temp_folder(&temp) ||
        OpenedFolder::Open(temp, sys::folder_creation::open_existing, nullptr, &temp_folder) !=
            sys::open_result::opened ||
        !sys::list_children(temp_folder.handle(), &children))
        return;
    const bool own_known = sys::own_program_path(&own);
    for (const std::u16string& child : children) {
        if (IsTempCopyFolderName(child) &&
            !(own_known && same_path(path_parent(CleanPath(own)), temp_folder.ChildPath(child))))
            SweepTempCopy(temp_folder, child);
    }
}

record_status HandUninstall::Load()
{
    m_complete = false;
    m_refusal.clear();
    m_msi_product = MsiProductInstalled();
    if (!ProductFolderInUse(&m_folder)) {
        m_refusal = "the product folder below Program Files cannot be found";
        return record_status::unreadable;
    }
    const std::u16string path = RecordPathIn(m_folder);
    const record_status status = m_record.Load(path);
    const std::string record = "the install record " + zksdk::ui::utf16_to_utf8(path);
    switch (status) {
    case record_status::ok:
    case record_status::missing:
        break;
    case record_status::damaged:
        m_refusal = record + " is damaged: some of its lines are not entries";
        break;
    case record_status::not_trusted:
        m_refusal = record +
                    " is not owned by Administrators, SYSTEM or TrustedInstaller (or its folder "
                    "is not), so a standard user could have written it";
        break;
    default:
        m_refusal = record + " cannot be read";
        break;
    }
    return status;
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
    m_restart = false;
    m_program = program_folder::kept;
    if (!m_refusal.empty())
        return {};
    // Under the writing lock, which every uninstall holds while its Temp copy is made and started.
    SweepTempCopies();
    // Windows Installer would keep the product registered with its files gone, and its own
    // uninstall removes the files this one lists: only the package's entry may stand, and an
    // entry a wizard run made before the package came goes.
    if (m_msi_product) {
        m_log.Line(DeleteAppsEntry(apps_entry_key)
                       ? "Settings > Apps: the Windows Installer package's entry stands for the "
                         "product, which that package removes; no file was removed here"
                       : "Settings > Apps: NOT REMOVED, the registry refused to delete the "
                         "wizard's entry beside the Windows Installer package's");
        return {};
    }
    const size_t count = m_record.entries().size();
    m_log.Line("removing " + std::to_string(count) + (count == 1 ? " file" : " files") +
               " listed in " + zksdk::ui::utf16_to_utf8(RecordPathIn(m_folder)));
    UninstallOptions options;
    options.held = held;
    options.progress = progress;
    UninstallReport report = UninstallRecorded(m_record, {}, options);
    m_log.Report(report);
    // An entry may go only with the record emptied: a file that failed stays listed for a retry.
    if (m_folder.empty() || m_record.Save(RecordPathIn(m_folder)) != record_status::ok) {
        m_log.Line("Settings > Apps: kept, the install record could not be saved");
        return report;
    }
    if (!m_record.empty()) {
        m_log.Line("Settings > Apps: kept, for another try at the files still listed");
        return report;
    }
    // The entry before the program: it never names a program that is gone.
    m_complete = DeleteAppsEntry(apps_entry_key);
    m_log.Line(m_complete ? "Settings > Apps: removed HKLM\\" +
                                zksdk::ui::utf16_to_utf8(path_join(uninstall_keys, apps_entry_key))
                          : "Settings > Apps: NOT REMOVED, the registry refused to delete it");
    if (!m_complete)
        return report;
    m_program = RemoveProgram(m_folder, waited, m_log);
    // Gone, or going with the Temp copy or at the restart: never a program silently left behind
    // with no entry to run it.
    m_complete = m_program != program_folder::left;
    m_restart =
        m_program == program_folder::at_restart ||
        std::any_of(report.files.begin(), report.files.end(), [](const UninstallItem& item) {
            return item.outcome == uninstall_outcome::scheduled_for_restart;
        });
    return report;
}

std::string HandUninstall::RestartNote() const
{
    if (!m_restart)
        return {};
    const std::string folder = zksdk::ui::utf16_to_utf8(m_folder);
    return m_program == program_folder::at_restart
               ? "Restart Windows to finish: its program folder, " + folder + ", is deleted then."
               : "Restart Windows to finish: the files in use are deleted then.";
}

std::string RefusedResult(const std::string& refusal)
{
    return std::string(product::name) + " was not uninstalled: " + refusal +
           ". Nothing was removed, and its entry in Settings > Apps stays.";
}

void HandUninstall::LogEnd(int exit_code, const std::string& result)
{
    m_log.Line("ended with " + std::to_string(exit_code) + ": " + result);
}

int FinishUninstall(const std::vector<uint32_t>& waited)
{
    using clock = std::chrono::steady_clock;
    for (const uint32_t process : waited)
        sys::wait_for_process_exit(process, without_limit);
    const clock::time_point deadline = clock::now() + finish_wait;
    const auto left = [deadline] {
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
        return static_cast<uint32_t>(std::max<int64_t>(0, rest.count()));
    };
    // A setup may have started since the uninstall ended and put the program back, with an
    // entry and a record: under the writing lock, only a product folder nobody uses any more
    // goes (copies left aside go in any case). A program still running (its parent did not end
    // in time) goes aside and at the restart.
    SetupLock lock;
    if (lock.Acquire(left()) != sys::lock_result::acquired)
        return 0;
    SweepTempCopies();
    std::u16string folder;
    if (ProductFolder(&folder)) {
        const bool unused =
            !MsiProductInstalled() && !AppsEntryExists(apps_entry_key) && NothingRecorded(folder);
        DeleteProgramFolder(folder, unused ? program_copies::all : program_copies::aside_only);
    }
    // This copy cannot delete itself while it runs, and leaving it for the restart would leave
    // every uninstall with a restart pending: the next uninstall sweeps its folder instead.
    return 0;
}

} // namespace nimbic
