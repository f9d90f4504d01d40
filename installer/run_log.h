// The setup's logs: the wizard's of a run that installed anything (what it put in place and
// whether Settings > Apps lists the product), and the uninstall's, for whoever has to find out
// later why it does not, or why something stayed.
#pragma once

#include "installer/registration.h"

#include "engine/install_files.h"
#include "engine/log_file.h"
#include "engine/uninstall.h"

#include <string>
#include <vector>

namespace nimbic {

// The logs' folder, <ProgramData>\Vantrel, which nimbic-deploy logs into too; false when the
// system does not say where ProgramData is.
bool SetupLogFolder(std::u16string* folder);

// What the end of a run says when Settings > Apps does not list the product ("the program copy
// could not be put in ..."); empty when it does (also through the MSI's entry).
std::string RegistrationProblem(registration registered, const std::u16string& product_folder);

// Writes the run's own log in the logs' folder, NimbicSetup-install-YYYYMMDD-HHMMSS.log (the
// newest ten kept): each installed file with its target's name from `target_names`, then the
// Apps entry. On the worker thread, after the registration. False when it cannot be written.
bool LogWizardRun(const std::vector<InstalledFile>& installed,
                  const std::vector<std::string>& target_names, registration registered,
                  const std::u16string& product_folder);

// One uninstall's log in the logs' folder, NimbicSetup-uninstall-YYYYMMDD-HHMMSS.log: a stem of
// its own beside the wizard's, so that each kind keeps its newest ten and pruning one never
// deletes the other. Made at its first line, whose header names the product and how the
// uninstall was started; owned by the uninstall it tells of. One that cannot be made or written
// is left out, and the uninstall goes on.
class UninstallLog {
public:
    explicit UninstallLog(std::string_view started_as) : m_started_as(started_as) {}

    void Line(const std::string& text);
    // Each file's outcome (and why, when it failed), then each maker's folder removed.
    void Report(const UninstallReport& report);
    // Some line reached the log, which is at path().
    bool is_written() const { return m_written; }
    const std::u16string& path() const { return m_file.path(); }

private:
    std::string m_started_as;
    LogFile m_file;
    bool m_tried = false;
    bool m_written = false;
};

} // namespace nimbic
