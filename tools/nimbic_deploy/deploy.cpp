// The deployment commands. They find targets exactly as the wizard does and install with the
// wizard's worker, so an unattended machine ends up with the same files as a clicked-through one.
#include "tools/nimbic_deploy/deploy.h"

#include "engine/install_messages.h"
#include "engine/install_state.h"
#include "engine/install_worker.h"
#include "engine/paths.h"
#include "engine/script_package.h"
#include "engine/system/system.h"
#include "installer/product.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace nimbic::deploy {

namespace {

using zksdk::ui::utf16_to_utf8;

constexpr std::u16string_view setup_file_name = u"NimbicSetup.exe";
constexpr std::u16string_view maker_folder = u"Vantrel";
constexpr std::u16string_view plugin_file = u"Vantrel\\Nimbic.aex";

enum class command { list, install, verify, uninstall };

struct Options {
    command what = command::list;
    std::optional<std::u16string> from;
    std::vector<std::u16string> only;
    std::optional<std::u16string> plugin_folder;
    std::optional<std::u16string> scripts_folder;
    std::optional<std::u16string> log;
};

std::string Quoted(std::u16string_view text)
{
    return "\"" + utf16_to_utf8(text) + "\"";
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<command> CommandNamed(std::u16string_view name)
{
    if (name == u"list")
        return command::list;
    if (name == u"install")
        return command::install;
    if (name == u"verify")
        return command::verify;
    if (name == u"uninstall")
        return command::uninstall;
    return std::nullopt;
}

// Listing only reads: it has no targets to pick and nothing to log.
bool Accepts(command what, std::u16string_view option)
{
    if (option == u"--from")
        return true;
    return what != command::list && (option == u"--only" || option == u"--plugin-folder" ||
                                     option == u"--scripts-folder" || option == u"--log");
}

bool IsHelp(std::u16string_view argument)
{
    return argument == u"--help" || argument == u"-h" || argument == u"/?";
}

// Fills `options` or returns the usage error. "--option value" and "--option=value" both work.
std::optional<std::string> ParseOptions(const std::vector<std::u16string>& arguments,
                                        Options& options)
{
    if (arguments.empty())
        return std::string("no command given");
    const std::optional<command> what = CommandNamed(arguments[0]);
    if (!what)
        return "unknown command " + Quoted(arguments[0]);
    options.what = *what;
    for (size_t i = 1; i < arguments.size(); ++i) {
        std::u16string option = arguments[i];
        std::optional<std::u16string> value;
        if (const size_t equals = option.find(u'=');
            option.starts_with(u"--") && equals != std::u16string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        if (!Accepts(options.what, option))
            return "unknown option " + Quoted(option) + " for " + utf16_to_utf8(arguments[0]);
        if (!value) {
            if (i + 1 == arguments.size())
                return Quoted(option) + " needs a value";
            value = arguments[++i];
        }
        if (value->empty())
            return Quoted(option) + " needs a value";
        if (option == u"--only") {
            options.only.push_back(*value);
            continue;
        }
        std::optional<std::u16string>& slot = option == u"--from"            ? options.from
                                              : option == u"--plugin-folder" ? options.plugin_folder
                                              : option == u"--scripts-folder"
                                                  ? options.scripts_folder
                                                  : options.log;
        if (slot)
            return Quoted(option) + " is given twice";
        slot = to_backslashes(*value);
    }
    if (options.plugin_folder.has_value() != options.scripts_folder.has_value())
        return std::string(
            "--plugin-folder and --scripts-folder go together: give both or neither");
    for (const auto* folder : {&options.plugin_folder, &options.scripts_folder}) {
        if (*folder && sys::kind_of(**folder) == sys::path_kind::file)
            return Quoted(**folder) + " is a file, not a folder";
    }
    if (options.log && sys::kind_of(*options.log) == sys::path_kind::folder)
        return "the log " + Quoted(*options.log) + " is a folder";
    return std::nullopt;
}

// The two payloads of a setup program, read once: the plug-in's bytes and the package's files.
class Payloads {
public:
    Payloads() = default;
    Payloads(const Payloads&) = delete;
    Payloads& operator=(const Payloads&) = delete;
    ~Payloads() { sys::close_module(m_module); }

    // Returns what is wrong with the file, or nothing when both payloads were read.
    std::optional<std::string> Open(const std::u16string& path)
    {
        const std::string named = "the setup program " + Quoted(path);
        if (sys::kind_of(path) == sys::path_kind::folder)
            return named + " is a folder";
        switch (sys::open_data_module(path, &m_module)) {
        case sys::module_result::opened:
            break;
        case sys::module_result::missing:
            return named + " does not exist";
        case sys::module_result::unreadable:
            return named + " cannot be read (access is denied, or another program holds it)";
        case sys::module_result::not_a_program:
            return named + " is not a Windows program";
        }
        const sys::resource plugin = sys::find_resource(plugin_resource_id, m_module);
        const sys::resource scripts = sys::find_resource(scripts_resource_id, m_module);
        if (!plugin || !scripts)
            return named + " is not a " + std::string(product::name) +
                   " setup program: it carries no plug-in and script payloads";
        const auto* plugin_bytes = Lock(plugin);
        const auto* scripts_bytes = Lock(scripts);
        if (!plugin_bytes || !scripts_bytes)
            return "the payloads of " + named + " cannot be loaded";
        m_plugin.assign(plugin_bytes, sys::resource_size(plugin, m_module));
        const int32_t status =
            ReadScriptPackage(scripts_bytes, sys::resource_size(scripts, m_module), &m_scripts);
        if (status != package_status::ok)
            return named + " carries a damaged script package: " + PackageStatusText(status);
        return std::nullopt;
    }

    sys::module module() const { return m_module; }
    const std::string& plugin() const { return m_plugin; }
    const std::vector<PackageFile>& scripts() const { return m_scripts; }

private:
    const char* Lock(sys::resource found) const
    {
        const uintptr_t loaded = sys::load_resource(found, m_module);
        return loaded ? static_cast<const char*>(sys::lock_resource(loaded)) : nullptr;
    }

    sys::module m_module = sys::own_program;
    std::string m_plugin;
    std::vector<PackageFile> m_scripts;
};

struct Target {
    std::string name;
    std::u16string plugin_folder;
    std::u16string scripts_folder;
};

// The found versions, as the wizard lists them, without its empty Custom entry.
std::vector<Target> FoundVersions()
{
    InstallState state;
    std::vector<InstallTarget> found;
    BuildInstallTargets(state, found);
    std::vector<Target> targets;
    for (const InstallTarget& target : found) {
        if (target.index != custom_version_index)
            targets.push_back({state.version_names()[static_cast<size_t>(target.index)],
                               target.plugin_folder, target.scripts_folder});
    }
    return targets;
}

// Keeps the targets named by --only; an unknown name is a usage error that lists the found ones.
std::optional<std::string> PickTargets(const std::vector<std::u16string>& only,
                                       std::vector<Target>& targets)
{
    if (only.empty())
        return std::nullopt;
    std::vector<Target> picked;
    for (const std::u16string& wanted : only) {
        const std::string name = utf16_to_utf8(wanted);
        bool known = false;
        for (const Target& target : targets) {
            if (!SameNameIgnoringCase(target.name, name))
                continue;
            known = true;
            const bool already = std::any_of(picked.begin(), picked.end(), [&](const Target& t) {
                return t.plugin_folder == target.plugin_folder;
            });
            if (!already)
                picked.push_back(target);
        }
        if (!known) {
            std::string listed;
            for (const Target& target : targets)
                listed += (listed.empty() ? "" : ", ") + target.name;
            return "no version named \"" + name +
                   "\" was found on this machine (found: " + (listed.empty() ? "none" : listed) +
                   ")";
        }
    }
    targets = std::move(picked);
    return std::nullopt;
}

// The report: lines to the console and, with timestamps, to the log.
class Report {
public:
    explicit Report(const Console& console) : m_console(console) {}
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;
    ~Report()
    {
        if (m_log != sys::invalid_file)
            sys::close_file(m_log);
    }

    bool OpenLog(const std::u16string& path)
    {
        m_log = sys::create_file(path, sys::share_mode::read_write);
        return m_log != sys::invalid_file;
    }

    void Line(const std::string& text)
    {
        m_console.report(text + "\n");
        Log(text);
    }

    void Problem(const std::string& text)
    {
        m_console.problem("nimbic-deploy: " + text + "\n");
        Log("error: " + text);
    }

    // Target, component, state and path, tab separated; an explanation follows indented.
    void Row(const Target& target, std::string_view component, std::string_view state,
             const std::u16string& path, const std::string& explanation = {})
    {
        Line(target.name + "\t" + std::string(component) + "\t" + std::string(state) + "\t" +
             utf16_to_utf8(path));
        size_t start = 0;
        while (start < explanation.size()) {
            const size_t end = std::min(explanation.find('\n', start), explanation.size());
            Line("    " + explanation.substr(start, end - start));
            start = end + 1;
        }
    }

private:
    void Log(const std::string& text)
    {
        if (m_log == sys::invalid_file)
            return;
        const sys::local_clock now = sys::local_time();
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  ", now.year, now.month,
                      now.day, now.hour, now.minute, now.second);
        const std::string line = stamp + text + "\r\n";
        uint32_t written = 0;
        if (!sys::write_file(m_log, line.data(), static_cast<uint32_t>(line.size()), &written) ||
            written != line.size()) {
            // The run goes on: what it does matters more than its diary.
            sys::close_file(m_log);
            m_log = sys::invalid_file;
            m_console.problem("nimbic-deploy: writing the log failed; it stops here\n");
        }
    }

    const Console& m_console;
    sys::file_handle m_log = sys::invalid_file;
};

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

std::u16string PluginPath(const Target& target)
{
    return path_join(target.plugin_folder, plugin_file);
}

std::string FileCount(size_t count)
{
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

const std::string not_elevated_hint =
    "this process is not elevated; run nimbic-deploy as an administrator (or as the deployment "
    "tool's system account) so that it may write to the host's folders";

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

// Removes the file only when it holds our bytes, never through a link, and says what happened.
struct Removal {
    size_t removed = 0;
    size_t kept = 0;
    size_t failed = 0;
};

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

std::optional<std::u16string> SetupBesideProgram()
{
    std::u16string own;
    if (!sys::own_program_path(&own))
        return std::nullopt;
    return path_join(path_parent(to_backslashes(own)), setup_file_name);
}

} // namespace

const char* HelpText()
{
    return R"(Usage: nimbic-deploy COMMAND [OPTIONS]

Installs, checks and removes the Nimbic Plug-in on every After Effects version registered on this
machine, with no window and no questions. The payloads are read from NimbicSetup.exe; its code is
never run.

Commands:
  list       The found versions: name, plug-in folder, scripts folder, and whether each holds
             the plug-in's files unchanged.
  install    Installs into every found version, or only the ones named with --only.
  verify     Checks that every found version holds the plug-in's files, byte for byte.
  uninstall  Removes the files that are byte for byte ours, then an empty Vantrel folder. Files
             changed since they were installed, and anything else, are kept.

Options:
  --from SETUP            The setup program to read the payloads from (default: NimbicSetup.exe
                          beside nimbic-deploy.exe).
  --only NAME             Only this version, as list names it (repeatable; not for list).
  --plugin-folder DIR     With --scripts-folder: one more target, in these folders (created
  --scripts-folder DIR    when missing; not for list).
  --log FILE              Also writes the report, with times, to FILE (replaced; not for list).
  --help                  This text.

Exit codes:
  0  Everything asked for is done (verify: every file matches).
  1  A usage error, or SETUP cannot be used (missing, unreadable, not a Nimbic setup program).
     Nothing is written.
  2  At least one target or file failed (install, verify or uninstall); each is listed.
  3  Nothing to do: no version is registered and no custom folders were given.

Run it elevated (as an administrator): only then may it write to the hosts' folders.
)";
}

int Run(const std::vector<std::u16string>& arguments, const Console& console)
{
    if (std::any_of(arguments.begin(), arguments.end(), IsHelp)) {
        console.report(HelpText());
        return exit_code::done;
    }
    Report report(console);
    Options options;
    if (const auto usage = ParseOptions(arguments, options)) {
        report.Problem(*usage);
        console.problem("Run \"nimbic-deploy --help\" for the commands and options.\n");
        return exit_code::usage;
    }

    // Without --from, the setup program beside us; listing can do without one.
    const std::optional<std::u16string> setup = options.from ? options.from : SetupBesideProgram();
    const bool need_setup = options.from || options.what != command::list ||
                            (setup && sys::kind_of(*setup) != sys::path_kind::missing);
    Payloads payloads;
    if (need_setup) {
        if (!setup) {
            report.Problem("the folder of nimbic-deploy.exe cannot be found; give --from SETUP");
            return exit_code::usage;
        }
        if (const auto problem = payloads.Open(*setup)) {
            report.Problem(*problem);
            return exit_code::usage;
        }
    }
    if (options.log && !report.OpenLog(*options.log)) {
        report.Problem("the log " + Quoted(*options.log) + " cannot be written");
        return exit_code::usage;
    }

    std::vector<Target> targets = FoundVersions();
    if (const auto unknown = PickTargets(options.only, targets)) {
        report.Problem(*unknown);
        return exit_code::usage;
    }
    if (options.plugin_folder)
        targets.push_back({"Custom", *options.plugin_folder, *options.scripts_folder});
    if (targets.empty()) {
        report.Problem("no " + std::string(product::host_name) +
                       " version is registered on this machine and no custom folders were given; "
                       "nothing to do");
        return exit_code::nothing_to_do;
    }

    switch (options.what) {
    case command::list:
        for (const Target& target : targets)
            report.Line(target.name + "\t" + utf16_to_utf8(target.plugin_folder) + "\t" +
                        utf16_to_utf8(target.scripts_folder) + "\t" +
                        HeldState(target, need_setup ? &payloads : nullptr));
        return exit_code::done;
    case command::install:
        return Install(options, payloads, targets, report);
    case command::verify:
        return Verify(payloads, targets, report);
    case command::uninstall:
        return Uninstall(payloads, targets, report);
    }
    return exit_code::usage;
}

} // namespace nimbic::deploy
