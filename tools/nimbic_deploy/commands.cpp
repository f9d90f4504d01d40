// The commands: install with the wizard's worker, compare byte for byte, remove only our bytes.
#include "tools/nimbic_deploy/commands.h"

#include "engine/install_messages.h"
#include "engine/install_state.h"
#include "engine/install_worker.h"
#include "engine/paths.h"
#include "engine/script_package.h"
#include "engine/whole_file.h"
#include "installer/product.h"
#include "toolkit/core/text_conversion.h"

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
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

const std::string not_elevated_hint =
    "this process is not elevated; run nimbic-deploy as an administrator (or as the deployment "
    "tool's system account) so that it may write to the host's folders";

// Removes the file only when it holds our bytes, never through a link, and says what happened.
struct Removal {
    size_t removed = 0;
    size_t kept = 0;
    size_t failed = 0;
};

// A run killed between writing and moving leaves its temporary file beside ours. Only our writer
// makes that name and no host loads it, so it goes with our file whatever it holds; one that
// cannot be deleted does not fail the uninstall, which an administrator could not then finish.
void RemoveLeftover(const Target& target, std::string_view component, const std::u16string& path,
                    Report& report)
{
    const std::u16string leftover = WholeFileWriter::TemporaryPath(path);
    if (sys::kind_of(leftover) != sys::path_kind::file)
        return;
    const bool removed = sys::delete_file(leftover) != sys::remove_result::failed;
    report.Row(target, component,
               removed ? "removed (left by an interrupted install)"
                       : "kept (left by an interrupted install, cannot be deleted)",
               leftover);
}

void RemoveIfOurs(const Target& target, std::string_view component, const std::u16string& folder,
                  std::u16string_view name, const std::string& expected, Report& report,
                  Removal& tally)
{
    const std::u16string path = path_join(folder, name);
    if (PassesThroughLink(folder, name)) {
        report.Row(target, component, "kept (reached through a link)", path);
        ++tally.kept;
        return;
    }
    RemoveLeftover(target, component, path, report);
    switch (Compare(path, expected)) {
    case match::missing:
        report.Row(target, component, "not installed", path);
        return;
    case match::different:
        report.Row(target, component, "kept (changed since it was installed)", path);
        ++tally.kept;
        return;
    case match::unreadable:
        report.Row(target, component, "failed (cannot be read)", path);
        ++tally.failed;
        return;
    case match::same:
        break;
    }
    if (sys::delete_file(path) == sys::remove_result::failed) {
        report.Row(target, component, "failed (cannot be deleted)", path);
        ++tally.failed;
        return;
    }
    report.Row(target, component, "removed", path);
    ++tally.removed;
}

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

} // namespace

int List(const Payloads* payloads, const std::vector<Target>& targets, Report& report)
{
    for (const Target& target : targets)
        report.Line(target.name + "\t" + utf16_to_utf8(target.plugin_folder) + "\t" +
                    utf16_to_utf8(target.scripts_folder) + "\t" + HeldState(target, payloads));
    return exit_code::done;
}

int Install(const Options& options, const Payloads& payloads, const std::vector<Target>& targets,
            Report& report)
{
    std::vector<std::u16string> plugin_folders;
    std::vector<std::u16string> scripts_folders;
    for (const Target& target : targets) {
        plugin_folders.push_back(target.plugin_folder);
        scripts_folders.push_back(target.scripts_folder);
    }
    // Custom folders named on the command line are wanted: make them, as a folder picker would.
    if (options.plugin_folder) {
        create_directories(*options.plugin_folder);
        create_directories(*options.scripts_folder);
    }
    InstallState state;
    RunInstall(state, plugin_folders, scripts_folders, payloads.module());

    size_t failed_targets = 0;
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
        row("plug-in", state.plugin_cells().get(i), PluginPath(targets[i]));
        row("scripts", state.scripts_cells().get(i), targets[i].scripts_folder);
        failed_targets += target_failed ? 1 : 0;
    }
    if (failed_targets == 0) {
        report.Line(std::string(product::name) + " installed into " +
                    std::to_string(targets.size()) +
                    (targets.size() == 1 ? " target." : " targets."));
        return exit_code::done;
    }
    report.Problem(std::to_string(failed_targets) + " of " + std::to_string(targets.size()) +
                   (targets.size() == 1 ? " target" : " targets") + " failed");
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

int Uninstall(const Payloads& payloads, const std::vector<Target>& targets, Report& report)
{
    Removal tally;
    for (const Target& target : targets) {
        RemoveIfOurs(target, "plug-in", target.plugin_folder, plugin_file, payloads.plugin(),
                     report, tally);
        // RemoveDirectoryW refuses a folder that still holds anything, ours or not.
        const std::u16string maker = path_join(target.plugin_folder, maker_folder);
        if (sys::kind_of(maker) == sys::path_kind::folder) {
            const bool removed = sys::remove_directory(maker) == sys::remove_result::removed;
            report.Row(target, "folder", removed ? "removed" : "kept (not empty)", maker);
        }
        for (const PackageFile& file : payloads.scripts())
            RemoveIfOurs(target, "scripts", target.scripts_folder, file.name, file.bytes, report,
                         tally);
    }
    report.Line("Removed " + FileCount(tally.removed) + "; kept " + std::to_string(tally.kept) +
                (tally.kept == 1 ? " changed file." : " changed files."));
    if (tally.failed == 0)
        return exit_code::done;
    report.Problem(FileCount(tally.failed) + " could not be removed");
    if (!sys::is_elevated())
        report.Problem(not_elevated_hint);
    return exit_code::failed;
}

} // namespace nimbic::deploy
