// The commands: install with the wizard's worker under an optional journal, compare byte for
// byte, remove only our bytes.
#include "tools/nimbic_deploy/commands.h"

#include "tools/nimbic_deploy/journal_commands.h"
#include "tools/nimbic_deploy/wizard_takeover.h"

#include "engine/install_messages.h"
#include "engine/install_state.h"
#include "engine/install_worker.h"
#include "engine/journal.h"
#include "engine/paths.h"
#include "engine/script_package.h"
#include "engine/uninstall.h"
#include "installer/product.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>

namespace nimbic::deploy {

namespace {

using zksdk::ui::utf16_to_utf8;

enum class match { same, missing, different, unreadable };

match Compare(const std::u16string& path, const std::string& expected)
{
    std::string found;
    switch (sys::read_file_bytes(path, expected.size() + 1, &found)) {
    case sys::read_result::missing:
        return match::missing;
    case sys::read_result::failed:
        return match::unreadable;
    case sys::read_result::read:
        break;
    }
    return found == expected ? match::same : match::different;
}

const char* MatchWord(match result)
{
    switch (result) {
    case match::same:
        return "matches";
    case match::missing:
        return "missing";
    case match::different:
        return "different";
    case match::unreadable:
        return "unreadable";
    }
    return "";
}

std::string FileCount(size_t count)
{
    return Count(count, "file", "files");
}

const std::string not_elevated_hint =
    "this process is not elevated; run nimbic-deploy as an administrator (or as the deployment "
    "tool's system account) so that it may write to the host's folders";

// What a target holds: nothing of ours, all of it unchanged, all of it with changes, or part.
std::string HeldState(const Target& target, const Payloads* payloads)
{
    if (!payloads) {
        return sys::kind_of(PluginPath(target)) == sys::path_kind::file
                   ? "plug-in present (not compared: no setup program)"
                   : "not installed";
    }
    size_t present = 0;
    size_t same = 0;
    auto count = [&](match result) {
        present += result == match::missing ? 0 : 1;
        same += result == match::same ? 1 : 0;
    };
    count(Compare(PluginPath(target), payloads->plugin()));
    for (const PackageFile& file : payloads->scripts())
        count(Compare(path_join(target.scripts_folder, file.name), file.bytes));
    const size_t total = 1 + payloads->scripts().size();
    if (present == 0)
        return "not installed";
    if (present < total)
        return "partly installed";
    return same == total ? "installed" : "installed, changed";
}

std::string_view ReportedComponent(record_component component)
{
    return component == record_component::plugin ? "plug-in" : "scripts";
}

// The files of one target the payloads would put in place, as the record would list them.
std::vector<InstalledFile> PlannedFiles(size_t index, const Target& target,
                                        const Payloads& payloads)
{
    std::vector<InstalledFile> planned;
    const std::string& plugin = payloads.plugin();
    planned.push_back({index, record_component::plugin,
                       path_join(CleanPath(target.plugin_folder), plugin_file), plugin.size(),
                       Sha256Of(plugin), file_change::created});
    for (const PackageFile& file : payloads.scripts())
        planned.push_back({index, record_component::script,
                           path_join(CleanPath(target.scripts_folder), file.name),
                           file.bytes.size(), Sha256Of(file.bytes), file_change::created});
    return planned;
}

std::vector<std::u16string> TargetFolders(const Target& target, bool plugin, bool scripts)
{
    std::vector<std::u16string> folders;
    if (plugin)
        folders.push_back(path_join(CleanPath(target.plugin_folder), maker_folder));
    if (scripts)
        folders.push_back(CleanPath(target.scripts_folder));
    return folders;
}

// Every file the install would replace or remove that another program holds; each is listed.
size_t ReportHeldFiles(const std::vector<Target>& targets, const Payloads& payloads,
                       const InstallRecord& record, loaded_files loaded, Report& report)
{
    size_t held = 0;
    for (size_t i = 0; i < targets.size(); ++i) {
        const Target& target = targets[i];
        auto row = [&](std::string_view component, const std::u16string& path) {
            report.Row(target, component, "held by another program", path, InUseLine({path}));
            ++held;
        };
        for (const std::u16string& path : FindHeldFiles(
                 {target.plugin_folder}, {}, payloads.plugin(), payloads.scripts(), loaded))
            row("plug-in", path);
        for (const std::u16string& path : FindHeldFiles(
                 {}, {target.scripts_folder}, payloads.plugin(), payloads.scripts(), loaded))
            row("scripts", path);
        for (const RecordEntry& entry : ObsoleteEntries(record, TargetFolders(target, true, true),
                                                        PlannedFiles(i, target, payloads))) {
            if (IsHeld(entry.path, loaded))
                row(ReportedComponent(entry.component), entry.path);
        }
    }
    return held;
}

struct Tally {
    size_t removed = 0;
    size_t kept = 0;
    size_t linked = 0;
    size_t foreign = 0;
    size_t scheduled = 0;
    size_t failed = 0;
    size_t in_use = 0; // of the failed: another program holds them
};

// One row per uninstall item, as the payload uninstall has always written them.
void ReportItem(const std::string& target, const UninstallItem& item, Report& report, Tally& tally)
{
    const Target shown{target, {}, {}};
    const std::string_view component = ReportedComponent(item.entry.component);
    if (item.leftover) {
        report.Row(shown, component,
                   item.outcome == uninstall_outcome::removed
                       ? "removed (left by an interrupted install)"
                       : "kept (left by an interrupted install, cannot be deleted)",
                   item.entry.path);
        return;
    }
    switch (item.outcome) {
    case uninstall_outcome::removed:
        ++tally.removed;
        break;
    case uninstall_outcome::kept_changed:
        ++tally.kept;
        break;
    case uninstall_outcome::kept_linked:
        ++tally.linked;
        break;
    case uninstall_outcome::kept_foreign:
        ++tally.foreign;
        break;
    case uninstall_outcome::scheduled_for_restart:
        ++tally.scheduled;
        // Asked by where the file is now: a module renamed aside is held under its aside name.
        report.Row(shown, component, OutcomeText(item.outcome), item.entry.path,
                   InUseLine({item.left.empty() ? item.entry.path : item.left}));
        return;
    case uninstall_outcome::not_installed:
        break;
    case uninstall_outcome::failed:
        ++tally.failed;
        tally.in_use += item.in_use ? 1 : 0;
        report.Row(shown, component, "failed (" + item.reason + ")", item.entry.path,
                   item.in_use ? InUseLine({item.entry.path}) : std::string());
        return;
    }
    report.Row(shown, component, OutcomeText(item.outcome), item.entry.path);
}

void ReportFolder(const std::string& target, const FolderItem& folder, Report& report)
{
    report.Row({target, {}, {}}, "folder",
               folder.at_commit    ? "removed at commit when empty"
               : folder.removed    ? "removed"
               : folder.at_restart ? "removed at restart when empty"
                                : "kept (not empty)",
               folder.path);
}

// The folders named with --remove-empty-folder: noted for the commit under a journal (they
// still hold the backups, the journal or programs another installer removes later), else
// removed now when empty.
void RemoveEmptyFolders(const Options& options, Journal* journal, Report& report)
{
    for (const std::u16string& named : options.remove_empty) {
        const std::u16string folder = CleanPath(named);
        if (journal) {
            if (journal->NoteRemoveWhenEmpty(folder))
                report.Line("The folder " + Quoted(folder) +
                            " is removed at commit when it is empty then.");
            continue;
        }
        OpenedFolder parent;
        if (OpenedFolder::Open(FolderOf(folder), sys::folder_creation::open_existing, nullptr,
                               &parent) == sys::open_result::opened &&
            sys::remove_child_folder(parent.handle(), path_filename(folder)) ==
                sys::remove_result::removed)
            report.Line("Removed the empty folder " + Quoted(folder) + ".");
    }
}

int UninstallEnd(const Tally& tally, bool journaled, Report& report)
{
    report.Line("Removed " + FileCount(tally.removed) + "; kept " +
                Count(tally.kept, "changed file.", "changed files."));
    if (tally.linked > 0)
        report.Line(Count(tally.linked, "file is", "files are") +
                    " reached through a link and left alone.");
    if (tally.foreign > 0)
        report.Line(Count(tally.foreign, "recorded file is", "recorded files are") +
                    " not a file of this product and left alone.");
    if (tally.scheduled > 0)
        report.Line(Count(tally.scheduled, "file is", "files are") +
                    (journaled ? " held by another program: the commit deletes it, or leaves it "
                                 "for the restart."
                               : " held by another program and will be deleted when Windows "
                                 "restarts."));
    if (tally.failed == 0 && tally.scheduled > 0 && !journaled) {
        report.Line(restart_line);
        return exit_code::restart_needed;
    }
    if (tally.failed == 0)
        return exit_code::done;
    report.Problem(FileCount(tally.failed) + " could not be removed");
    // Never left for the restart by their own names, which a setup run before it would write.
    if (tally.in_use > 0)
        report.Problem(Count(tally.in_use, "file is", "files are") +
                       " held by another program (is After Effects running?): close it and run "
                       "the uninstall again");
    if (!sys::is_elevated())
        report.Problem(not_elevated_hint);
    return exit_code::failed;
}

} // namespace

int List(const Payloads* payloads, const std::vector<Target>& targets, Report& report)
{
    for (const Target& target : targets)
        report.Line(target.name + "\t" + utf16_to_utf8(target.plugin_folder) + "\t" +
                    utf16_to_utf8(target.scripts_folder) + "\t" + HeldState(target, payloads));
    return exit_code::done;
}

int Install(const Options& options, const Payloads& payloads, const std::vector<Target>& targets,
            const std::u16string& record_path, Report& report)
{
    InstallRecord record;
    const record_status loaded = record.Load(record_path);
    if (loaded == record_status::unreadable) {
        report.Problem("the install record " + Quoted(record_path) +
                       " cannot be read; nothing was changed");
        return exit_code::usage;
    }
    if (loaded == record_status::not_trusted) {
        report.Problem("the install record " + Quoted(record_path) + " " + not_trusted_words +
                       "; give --record FILE in a folder only administrators can write; nothing "
                       "was changed");
        return exit_code::usage;
    }
    if (loaded == record_status::damaged)
        report.Problem("the install record " + Quoted(record_path) +
                       " is damaged; its readable entries are kept");
    // Before the held-file check: what the wizard installed is this product's now, and an
    // upgrade removes what of it this version no longer ships.
    WizardTakeover takeover;
    if (options.take_over_wizard)
        takeover.Fold(record_path, record, report);

    // Nothing is written while a file the run must replace is held: a run that could not
    // finish would leave some versions new and some old. Under a journal a module a host has
    // loaded is no obstacle: it is renamed aside as its backup.
    const loaded_files loaded_ones =
        options.journal ? loaded_files::renamed_aside : loaded_files::held;
    if (const size_t held = ReportHeldFiles(targets, payloads, record, loaded_ones, report);
        held > 0) {
        report.Problem(Count(held, "file is", "files are") +
                       " held by another program (is After Effects running?); nothing was "
                       "changed");
        return exit_code::failed;
    }
    Journal journal;
    if (options.journal && !OpenRunJournal(options, journal, report))
        return exit_code::usage;
    Journal* const noted = options.journal ? &journal : nullptr;

    std::vector<std::u16string> plugin_folders;
    std::vector<std::u16string> scripts_folders;
    for (const Target& target : targets) {
        plugin_folders.push_back(target.plugin_folder);
        scripts_folders.push_back(target.scripts_folder);
    }
    // Custom folders named on the command line are wanted: make them, as a folder picker would.
    if (options.plugin_folder) {
        for (const auto* folder : {&*options.plugin_folder, &*options.scripts_folder}) {
            OpenedFolder made;
            OpenedFolder::Open(*folder, sys::folder_creation::create_if_missing, noted, &made);
        }
    }
    InstallState state;
    RunInstall(state, plugin_folders, scripts_folders, {payloads.module(), noted});

    size_t failed_targets = 0;
    std::vector<std::u16string> finished_folders;
    for (size_t i = 0; i < targets.size(); ++i) {
        bool target_failed = false;
        auto row = [&](const char* component, int32_t status, const std::u16string& path) {
            if (status == install_status::done) {
                report.Row(targets[i], component, "installed", path);
                return;
            }
            target_failed = true;
            // The worker leaves a cell untouched only after a scripts failure ended the run.
            if (status == install_status::not_attempted)
                report.Row(targets[i], component, "not attempted", path,
                           "The run ended at the scripts failure above.");
            else
                report.Row(targets[i], component, "failed (error " + std::to_string(status) + ")",
                           path, InstallErrorText(status));
        };
        const int32_t plugin = state.plugin_cells().get(i);
        const int32_t scripts = state.scripts_cells().get(i);
        row("plug-in", plugin, PluginPath(targets[i]));
        row("scripts", scripts, targets[i].scripts_folder);
        failed_targets += target_failed ? 1 : 0;
        for (const std::u16string& folder : TargetFolders(
                 targets[i], plugin == install_status::done, scripts == install_status::done))
            finished_folders.push_back(folder);
    }

    // An upgrade takes away what the older version put in these folders and this one no
    // longer ships.
    Tally tally;
    for (const RecordEntry& entry :
         ObsoleteEntries(record, finished_folders, state.installed_files())) {
        const UninstallItem item = RemoveRecordedFile(entry, {noted, when_held::fail}).back();
        if (item.outcome == uninstall_outcome::failed) {
            ++tally.failed;
            report.Row({entry.target, {}, {}}, ReportedComponent(entry.component),
                       "failed to remove (" + item.reason + ")", entry.path,
                       item.in_use ? InUseLine({entry.path}) : std::string());
            continue;
        }
        record.Remove(entry.path);
        if (item.outcome == uninstall_outcome::removed)
            report.Row({entry.target, {}, {}}, ReportedComponent(entry.component),
                       "removed (no longer shipped)", entry.path);
    }
    for (const InstalledFile& file : state.installed_files())
        AddToRecord(record, file, targets[file.target].name);
    bool record_failed = false;
    if ((!state.installed_files().empty() || takeover.folded() > 0) &&
        record.Save(record_path, noted) != record_status::ok) {
        record_failed = true;
        report.Problem("the install record " + Quoted(record_path) + " cannot be written");
    }
    // Only once this record lists the wizard's files, and the run did all it should: a failed
    // run leaves the wizard's install standing.
    bool takeover_failed = false;
    if (failed_targets == 0 && tally.failed == 0 && !record_failed)
        takeover_failed = !takeover.Finish(noted, report);
    if (noted && !journal.good())
        report.Problem("the journal " + Quoted(*options.journal) +
                       " could not be written, so the run stopped changing files");

    if (failed_targets == 0 && tally.failed == 0 && !record_failed && !takeover_failed) {
        report.Line(std::string(product::name) + " installed into " +
                    Count(targets.size(), "target.", "targets."));
        return exit_code::done;
    }
    if (failed_targets > 0)
        report.Problem(std::to_string(failed_targets) + " of " +
                       Count(targets.size(), "target", "targets") + " failed");
    if (!sys::is_elevated())
        report.Problem(not_elevated_hint);
    return exit_code::failed;
}

int Verify(const Payloads& payloads, const std::vector<Target>& targets, Report& report)
{
    size_t problems = 0;
    for (const Target& target : targets) {
        const std::u16string plugin_path = PluginPath(target);
        const match plugin = Compare(plugin_path, payloads.plugin());
        report.Row(target, "plug-in", MatchWord(plugin), plugin_path);
        problems += plugin == match::same ? 0 : 1;

        size_t script_problems = 0;
        for (const PackageFile& file : payloads.scripts()) {
            const std::u16string path = path_join(target.scripts_folder, file.name);
            const match result = Compare(path, file.bytes);
            if (result != match::same) {
                report.Row(target, "scripts", MatchWord(result), path);
                ++script_problems;
            }
        }
        if (script_problems == 0)
            report.Row(target, "scripts", "matches (" + FileCount(payloads.scripts().size()) + ")",
                       target.scripts_folder);
        problems += script_problems;
    }
    if (problems == 0) {
        report.Line("Every file matches the payloads of this setup program.");
        return exit_code::done;
    }
    report.Problem(std::to_string(problems) + (problems == 1 ? " file is" : " files are") +
                   " missing or different");
    return exit_code::failed;
}

int UninstallRecorded(const Options& options, InstallRecord& record,
                      const std::u16string& record_path, Report& report)
{
    if (record.empty()) {
        report.Line("The install record lists no files; nothing to do.");
        return exit_code::done;
    }
    auto picked = [&](const RecordEntry& entry) {
        const bool named =
            std::any_of(options.only.begin(), options.only.end(), [&](const auto& n) {
                return same_path(zksdk::ui::utf8_to_utf16(entry.target), n);
            });
        const bool in_custom =
            options.plugin_folder && (is_inside(entry.path, CleanPath(*options.plugin_folder)) ||
                                      is_inside(entry.path, CleanPath(*options.scripts_folder)));
        return (options.only.empty() && !options.plugin_folder) || named || in_custom;
    };
    for (const std::u16string& name : options.only) {
        const bool known = std::any_of(
            record.entries().begin(), record.entries().end(), [&](const RecordEntry& entry) {
                return same_path(zksdk::ui::utf8_to_utf16(entry.target), name);
            });
        if (!known) {
            std::string listed;
            for (const RecordEntry& entry : record.entries()) {
                if (listed.find(entry.target) == std::string::npos)
                    listed += (listed.empty() ? "" : ", ") + entry.target;
            }
            report.Problem("the install record names no version " + Quoted(name) +
                           " (it names: " + listed + ")");
            return exit_code::usage;
        }
    }
    Journal journal;
    if (options.journal && !OpenRunJournal(options, journal, report))
        return exit_code::usage;
    Journal* const noted = options.journal ? &journal : nullptr;

    const std::vector<RecordEntry> before = record.entries();
    const UninstallReport removed =
        nimbic::UninstallRecorded(record, picked, {noted, when_held::delete_at_restart});
    Tally tally;
    for (const UninstallItem& item : removed.files)
        ReportItem(item.entry.target, item, report, tally);
    for (const FolderItem& folder : removed.folders) {
        std::string target;
        for (const RecordEntry& entry : before) {
            if (same_path(path_parent(entry.path), folder.path))
                target = entry.target;
        }
        ReportFolder(target, folder, report);
    }
    if (record.Save(record_path, noted) != record_status::ok) {
        report.Problem("the install record " + Quoted(record_path) + " cannot be written");
        ++tally.failed;
    }
    RemoveEmptyFolders(options, noted, report);
    return UninstallEnd(tally, noted != nullptr, report);
}

int UninstallPayloads(const Options& options, const Payloads& payloads,
                      const std::vector<Target>& targets, Report& report)
{
    Journal journal;
    if (options.journal && !OpenRunJournal(options, journal, report))
        return exit_code::usage;
    Journal* const noted = options.journal ? &journal : nullptr;
    Tally tally;
    for (size_t i = 0; i < targets.size(); ++i) {
        // The files this setup program would install stand in for a record.
        InstallRecord expected;
        for (const InstalledFile& file : PlannedFiles(i, targets[i], payloads))
            expected.Add({file.component, targets[i].name, file.path, file.size, file.sha256});
        const UninstallReport removed =
            nimbic::UninstallRecorded(expected, {}, {noted, when_held::delete_at_restart});
        for (const UninstallItem& item : removed.files)
            ReportItem(targets[i].name, item, report, tally);
        for (const FolderItem& folder : removed.folders)
            ReportFolder(targets[i].name, folder, report);
        // A maker's folder holding only someone else's files stays; say so.
        const std::u16string maker = path_join(CleanPath(targets[i].plugin_folder), maker_folder);
        const bool reported =
            std::any_of(removed.folders.begin(), removed.folders.end(),
                        [&](const FolderItem& f) { return same_path(f.path, maker); });
        if (!reported && sys::kind_of(maker) == sys::path_kind::folder)
            ReportFolder(targets[i].name, {maker, false, false}, report);
    }
    RemoveEmptyFolders(options, noted, report);
    return UninstallEnd(tally, noted != nullptr, report);
}

} // namespace nimbic::deploy
