// The commands, each run over the chosen targets (or a journal) and told through the report.
#pragma once

#include "engine/install_record.h"
#include "tools/nimbic_deploy/options.h"
#include "tools/nimbic_deploy/payloads.h"
#include "tools/nimbic_deploy/report.h"
#include "tools/nimbic_deploy/targets.h"

#include <vector>

namespace nimbic::deploy {

// Without a setup program (`payloads` null) a listing cannot compare, only look for the plug-in.
int List(const Payloads* payloads, const std::vector<Target>& targets, Report& report);
// Installs into the targets and adds what it installed to the record at `record_path`.
int Install(const Options& options, const Payloads& payloads, const std::vector<Target>& targets,
            const std::u16string& record_path, Report& report);
int Verify(const Payloads& payloads, const std::vector<Target>& targets, Report& report);
// Removes the record's files (those of the picked targets), whose bytes are still ours.
int UninstallRecorded(const Options& options, InstallRecord& record,
                      const std::u16string& record_path, Report& report);
// Without a record: removes the files that hold the setup program's payloads, byte for byte.
int UninstallPayloads(const Options& options, const Payloads& payloads,
                      const std::vector<Target>& targets, Report& report);
int RollBack(const Options& options, Report& report);
int Commit(const Options& options, Report& report);

} // namespace nimbic::deploy
