// The four commands, each run over the chosen targets and told through the report.
#pragma once

#include "tools/nimbic_deploy/options.h"
#include "tools/nimbic_deploy/payloads.h"
#include "tools/nimbic_deploy/report.h"
#include "tools/nimbic_deploy/targets.h"

#include <vector>

namespace nimbic::deploy {

// Without a setup program (`payloads` null) a listing cannot compare, only look for the plug-in.
int List(const Payloads* payloads, const std::vector<Target>& targets, Report& report);
int Install(const Options& options, const Payloads& payloads, const std::vector<Target>& targets,
            Report& report);
int Verify(const Payloads& payloads, const std::vector<Target>& targets, Report& report);
int Uninstall(const Payloads& payloads, const std::vector<Target>& targets, Report& report);

} // namespace nimbic::deploy
