// What a rollback and a commit do with one note of the journal: a file put back, removed or
// left for the restart, a folder removed once empty. Each adds its steps to `steps`.
#pragma once

#include "engine/file_removal.h"
#include "engine/journal.h"
#include "engine/journal_format.h"

#include <string>
#include <string_view>
#include <vector>

namespace nimbic::journal_steps {

// The step for a file deleted, or left for the restart under the path `left`, or neither.
void RemovedStep(removal removed, const std::u16string& path, const std::u16string& left,
                 const std::string& action, std::vector<JournalStep>* steps);
// Deletes the aside file `name` (a backup, a temporary) beside `path`, or leaves it for the
// restart; a name that is not an aside name of ours is left alone, as a failed step.
void DeleteAside(const std::u16string& path, std::u16string_view name, const std::string& action,
                 std::vector<JournalStep>* steps);
void RemoveFolderIfEmpty(const std::u16string& path, std::vector<JournalStep>* steps);
// Puts a noted backup back over whatever has its file's name now.
void Restore(const journal_format::Noted& note, std::vector<JournalStep>* steps);
// Removes the noted file while it still holds the noted bytes and is ours: a file the run made
// (rollback), or one a run left for the commit to delete. One a host has loaded is renamed aside
// for the restart; one another program holds so that it cannot be renamed stays, a failed step.
void RemoveNoted(const journal_format::Noted& note, std::vector<JournalStep>* steps);

} // namespace nimbic::journal_steps
