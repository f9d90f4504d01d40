// The deployment commands. They find targets exactly as the wizard does and install with the
// wizard's worker, so an unattended machine ends up with the same files as a clicked-through one.
#include "tools/nimbic_deploy/deploy.h"

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
  --allow-no-versions     Install and uninstall only: when no version is registered (and no
                          custom folders are given), end with 0 instead of 3. For packages
                          sent to every machine, whether After Effects is there or not.
  --help                  This text.

Exit codes:
  0  Everything asked for is done (verify: every file matches).
  1  A usage error, or SETUP cannot be used (missing, unreadable, not a Nimbic setup program).
     Nothing is written.
  2  At least one target or file failed (install, verify or uninstall); each is listed.
  3  Nothing to do: no version is registered and no custom folders were given (0 with
     --allow-no-versions).

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
        return Install(options, payloads, targets, report);
    case command::verify:
        return Verify(payloads, targets, report);
    case command::uninstall:
        return Uninstall(payloads, targets, report);
    }
    return exit_code::usage;
}

} // namespace nimbic::deploy
