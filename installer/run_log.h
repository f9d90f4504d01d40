// The wizard's log of a run that installed anything: what it put in place and whether Settings >
// Apps lists the product, for whoever has to find out later why it does not.
#pragma once

#include "installer/registration.h"

#include "engine/install_files.h"

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

} // namespace nimbic
