// The command line of nimbic-deploy: which command, and the options given with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic::deploy {

enum class command { list, install, verify, uninstall, rollback, commit };

// One parsed command line; the folders, the log, the journal and the record as whole paths (see
// WholePath), the setup program in backslash form as given.
struct Options {
    command what = command::list;
    std::optional<std::u16string> from;
    std::vector<std::u16string> only;
    std::optional<std::u16string> plugin_folder;
    std::optional<std::u16string> scripts_folder;
    std::optional<std::u16string> log;
    // Each run's own log in this folder, stamped with the time (the newest ten are kept).
    std::optional<std::u16string> log_folder;
    // The journal of changes (install and uninstall write it; rollback and commit read it) and
    // the install record (default: beside nimbic-deploy.exe, where the MSI installs both).
    std::optional<std::u16string> journal;
    std::optional<std::u16string> record;
    // Install and uninstall end with success on a machine without hosts, where a package that
    // reaches every machine of a fleet has nothing to do; install skips a registered version
    // whose plug-in folder is gone.
    bool allow_no_versions = false;
    // Install: the wizard's install in its own product folder joins the record (the MSI's, in a
    // folder of its own), and the wizard's record and program copy go, so that one product
    // stands for both and its uninstall removes everything.
    bool take_over_wizard = false;
    // Uninstall: folders to remove once they are empty at the end (at commit under a journal),
    // as the MSI's product folder is once Windows Installer has taken its programs away.
    std::vector<std::u16string> remove_empty;
};

// The command's name as typed ("install").
std::u16string_view CommandName(command what);

bool IsHelp(std::u16string_view argument);

// Fills `options` or returns the usage error. "--option value" and "--option=value" both work.
std::optional<std::string> ParseOptions(const std::vector<std::u16string>& arguments,
                                        Options& options);

// A name or path in double quotes, as the messages show it.
std::string Quoted(std::u16string_view text);

} // namespace nimbic::deploy
