// The journal's commands, rollback and commit, and what the other commands share with them.
#pragma once

#include "engine/journal.h"
#include "tools/nimbic_deploy/options.h"
#include "tools/nimbic_deploy/report.h"

#include <string>
#include <vector>

namespace nimbic::deploy {

// Why an elevated run refuses a record or a journal, after its quoted name.
extern const std::string not_trusted_words;
// The last line of a run that left files for the restart (exit code 3010).
extern const std::string restart_line;

// Opens the journal named by --journal for an install or uninstall, finishing first the commit
// of an earlier run that was cut short. False, with the problem reported, when it cannot be used.
bool OpenRunJournal(const Options& options, Journal& journal, Report& report);

// The rows of a rollback or commit, its last line, and its exit code.
int JournalEnd(journal_result result, const std::vector<JournalStep>& steps,
               const std::u16string& journal, command what, Report& report);

} // namespace nimbic::deploy
