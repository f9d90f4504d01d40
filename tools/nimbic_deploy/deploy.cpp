// The deployment commands. They find targets exactly as the wizard does and install with the
// wizard's worker, so an unattended machine ends up with the same files as a clicked-through one.
#include "tools/nimbic_deploy/deploy.h"

#include "engine/setup_lock.h"
#include "engine/system/system.h"
#include "installer/product.h"
#include "tools/nimbic_deploy/commands.h"

#include <algorithm>

namespace nimbic::deploy {

const char* HelpText()
{
    return R"(Usage: nimbic-deploy COMMAND [OPTIONS]

Installs, checks and removes the Nimbic Plug-in on every After Effects version registered on this
machine, with no window and no questions. The payloads are read from NimbicSetup.exe; its code is
never run.

Commands:
  list       The found versions: name, plug-in folder, scripts folder, and whether each holds
             the plug-in's files unchanged.
  install    Installs into every found version, or only the ones named with --only. Files that
             already hold our bytes are left alone; if another program holds a file that must
             be replaced, nothing is changed (under --journal, a plug-in a host has loaded is
             renamed aside instead). Each file is added to the install record.
  verify     Checks that every found version holds the plug-in's files, byte for byte.
  uninstall  Removes the files of the install record whose bytes are still ours (without a
             record: the files that hold SETUP's payloads), then an empty Vantrel folder. A
             plug-in a host has loaded is renamed aside and deleted when Windows restarts; a
             file held open so that it cannot be renamed fails (run it again once the program
             has closed it). Anything else is kept.
  rollback   Undoes everything the runs noted in the journal did: backups go back, files and
             folders they made go. Safe to run twice, and after a run that was killed.
  commit     Ends the journal's transaction: deletes the backups it names (one in use when
             Windows restarts), then the journal.

Options:
  --from SETUP            The setup program to read the payloads from (default: NimbicSetup.exe
                          beside nimbic-deploy.exe).
  --only NAME             Only this version, as list names it (repeatable; not for list).
  --plugin-folder DIR     With --scripts-folder: one more target, in these folders (created
  --scripts-folder DIR    when missing; not for list).
  --journal FILE          Install and uninstall: notes every change in FILE first, and keeps
                          each replaced or removed file as a backup until commit. Rollback
                          and commit: the journal to work from (required).
  --record FILE           The install record (default: install-record.txt beside
                          nimbic-deploy.exe).
  --log FILE              Also writes the report, with times, to FILE (replaced; not for list).
  --log-folder DIR        Also writes the report, with times, to a log of this run's own in
                          DIR, nimbic-deploy-COMMAND-YYYYMMDD-HHMMSS.log; the newest ten of
                          each command are kept. A missing DIR is made (elevated: only
                          Administrators and SYSTEM may change it). A log that cannot be
                          written safely (a link on the way; run elevated, a folder
                          Administrators do not own) is skipped with a warning.
  --allow-no-versions     Install and uninstall only: when no version is registered (and no
                          custom folders are given), end with 0 instead of 3; install skips a
                          registered version whose plug-in folder is gone; uninstall without
                          a record or a readable SETUP removes nothing and ends with 0. For
                          packages sent to every machine, whether After Effects is there or not.
  --take-over-wizard-install
                          Install only (the MSI's install passes it): when the record is not
                          the wizard's own (C:\Program Files\Vantrel\Nimbic Plug-in), what the
                          wizard's record there lists joins the record, and once the install
                          succeeded the wizard's record goes, its program copy (only a Nimbic
                          setup program, and only once no wizard entry in Settings > Apps runs
                          it) and that folder and Vantrel when empty; under --journal as
                          backups until commit, so a rollback puts them back.
  --remove-empty-folder DIR
                          Uninstall only: removes DIR at the end when it is empty (at commit
                          under a journal). Repeatable, inner folders first.
  --help                  This text.

Exit codes:
  0  Everything asked for is done (verify: every file matches).
  1  A usage error, or SETUP, the journal or the record cannot be used (missing, unreadable,
     not what it should be). Nothing is written.
  2  At least one target, file or step failed, or a file is held (install); each is listed.
  3  Nothing to do: no version is registered and no custom folders were given (0 with
     --allow-no-versions).
  4  Another setup (the wizard, its uninstaller or nimbic-deploy) kept running for 30 seconds;
     nothing was changed. Run it again later.
  3010  Done; restart Windows to finish: files in use are deleted then.

Run it elevated (as an administrator): only then may it write to the hosts' folders. Elevated,
it uses only a record and a journal that Administrators, SYSTEM or TrustedInstaller own.
)";
}

namespace {

void OpenLog(const Options& options, Report& report)
{
    if (options.log)
        report.OpenLog(*options.log);
    else if (options.log_folder)
        report.OpenLogInFolder(*options.log_folder,
                               u"nimbic-deploy-" + std::u16string(CommandName(options.what)));
}

// A package must stay removable when neither a record nor a setup program says which files are
// ours (a machine without hosts at install time, the setup program quarantined since): then
// nothing is ours to remove, which is no failure.
int NothingKnownToRemove(const Options& options, const std::string& problem, Report& report)
{
    OpenLog(options, report);
    report.Warning(problem);
    report.Line("There is no install record and no setup program to compare with: no file is "
                "known to be ours, so none is removed.");
    return exit_code::done;
}

} // namespace

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
    // Two setups writing the same folders at once would leave neither's files whole. A commit
    // or a rollback finishes a run that began under the lock and touches only what its journal
    // names; the run it finishes (Windows Installer's own install, or whoever started it) may
    // still hold the lock, and waiting for that would only leave the run unfinished.
    SetupLock lock;
    const bool writes = options.what != command::list && options.what != command::verify &&
                        options.what != command::commit && options.what != command::rollback;
    if (writes && lock.Acquire(deploy_lock_wait_ms) != sys::lock_result::acquired) {
        report.Problem("another setup of " + std::string(product::name) +
                       " (the wizard, its uninstaller or nimbic-deploy) did not end within " +
                       std::to_string(deploy_lock_wait_ms / 1000) +
                       " seconds; nothing was changed");
        return exit_code::another_setup;
    }
    if (options.what == command::rollback || options.what == command::commit) {
        OpenLog(options, report);
        return options.what == command::rollback ? RollBack(options, report)
                                                 : Commit(options, report);
    }

    // The record beside us is the MSI's; without one, nothing is recorded yet.
    const std::optional<std::u16string> record_path =
        options.record ? options.record : FileBesideProgram(install_record_name);
    InstallRecord record;
    if (options.what == command::uninstall && record_path) {
        switch (record.Load(*record_path)) {
        case record_status::missing:
            break;
        case record_status::unreadable:
            report.Problem("the install record " + Quoted(*record_path) +
                           " cannot be read; nothing was changed");
            return exit_code::usage;
        case record_status::not_trusted:
            // Its entries could name anyone's files: the setup program's payloads say instead
            // which bytes are ours.
            report.Warning("the install record " + Quoted(*record_path) +
                           " is not owned by Administrators, SYSTEM or TrustedInstaller (or its "
                           "folder is not), so a standard user could have written it; it is not "
                           "used");
            break;
        case record_status::damaged:
            report.Problem("the install record " + Quoted(*record_path) +
                           " is damaged; only its readable entries are used");
            [[fallthrough]];
        case record_status::ok:
        case record_status::not_written:
            // Uninstalling from the record needs neither the setup program nor the hosts.
            OpenLog(options, report);
            return UninstallRecorded(options, record, *record_path, report);
        }
    }

    // Without --from, the setup program beside us; listing can do without one.
    const std::optional<std::u16string> setup =
        options.from ? options.from : FileBesideProgram(setup_file_name);
    const bool need_setup = options.from || options.what != command::list ||
                            (setup && sys::kind_of(*setup) != sys::path_kind::missing);
    Payloads payloads;
    if (need_setup) {
        if (!setup) {
            report.Problem("the folder of nimbic-deploy.exe cannot be found; give --from SETUP");
            return exit_code::usage;
        }
        if (const auto problem = payloads.Open(*setup)) {
            if (options.what == command::uninstall && options.allow_no_versions)
                return NothingKnownToRemove(options, *problem, report);
            report.Problem(*problem);
            return exit_code::usage;
        }
    }
    OpenLog(options, report);

    std::vector<Target> targets = FoundVersions();
    if (const auto unknown = PickTargets(options.only, targets)) {
        report.Problem(*unknown);
        return exit_code::usage;
    }
    const size_t registered = targets.size();
    if (options.what == command::install && options.allow_no_versions)
        SkipMissingPluginFolders(targets, report);
    if (options.plugin_folder)
        targets.push_back({"Custom", *options.plugin_folder, *options.scripts_folder});
    if (targets.empty() && registered > 0) {
        report.Line("No registered " + std::string(product::host_name) +
                    " version has its plug-in folder; nothing to do.");
        return exit_code::done;
    }
    if (targets.empty() && options.allow_no_versions) {
        report.Line("No " + std::string(product::host_name) +
                    " version is registered on this machine; nothing to do.");
        return exit_code::done;
    }
    if (targets.empty()) {
        report.Problem("no " + std::string(product::host_name) +
                       " version is registered on this machine and no custom folders were given; "
                       "nothing to do");
        return exit_code::nothing_to_do;
    }

    switch (options.what) {
    case command::list:
        return List(need_setup ? &payloads : nullptr, targets, report);
    case command::install:
        if (!record_path) {
            report.Problem("the folder of nimbic-deploy.exe cannot be found; give --record FILE");
            return exit_code::usage;
        }
        return Install(options, payloads, targets, *record_path, report);
    case command::verify:
        return Verify(payloads, targets, report);
    case command::uninstall:
        return UninstallPayloads(options, payloads, targets, report);
    case command::rollback:
    case command::commit:
        break;
    }
    return exit_code::usage;
}

} // namespace nimbic::deploy
