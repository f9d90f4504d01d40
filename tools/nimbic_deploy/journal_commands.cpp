// The journal's commands: opening a run's journal, rolling back, committing, and their report.
#include "tools/nimbic_deploy/journal_commands.h"

#include "toolkit/core/text_conversion.h"
#include "tools/nimbic_deploy/commands.h"

namespace nimbic::deploy {

using zksdk::ui::utf16_to_utf8;

const std::string not_trusted_words =
    "is not owned by Administrators, SYSTEM or TrustedInstaller (or its folder is not), so a "
    "standard user could have written it";

// The line that goes with exit code 3010.
const std::string restart_line =
    "Restart Windows to finish: the files left for the restart are deleted then.";

// The rows of a rollback or commit, its last line, and its exit code.
int JournalEnd(journal_result result, const std::vector<JournalStep>& steps,
               const std::u16string& journal, command what, Report& report)
{
    size_t failed = 0;
    size_t at_restart = 0;
    for (const JournalStep& step : steps) {
        report.Line(step.action + "\t" + utf16_to_utf8(step.path));
        if (!step.reason.empty())
            report.Line("    " + (step.ok ? std::string() : std::string("not done: ")) +
                        step.reason);
        failed += step.ok ? 0 : 1;
        at_restart += step.at_restart ? 1 : 0;
    }
    const bool rollback = what == command::rollback;
    switch (result) {
    case journal_result::done:
        report.Line(std::string(rollback ? "Rolled back: every change is undone"
                                         : "Committed: the backups and the journal are deleted") +
                    " (" + Count(steps.size(), "step", "steps") + ").");
        if (at_restart == 0)
            return exit_code::done;
        report.Line(Count(at_restart, "file is", "files are") +
                    " in use and left for the restart. " + restart_line);
        return exit_code::restart_needed;
    case journal_result::missing:
        report.Line("There is no journal " + Quoted(journal) + "; nothing to do.");
        return exit_code::done;
    case journal_result::unreadable:
        report.Problem(
            "the journal " + Quoted(journal) +
            " cannot be read, or is not a journal of nimbic-deploy; nothing was changed");
        return exit_code::usage;
    case journal_result::not_trusted:
        report.Problem("the journal " + Quoted(journal) + " " + not_trusted_words +
                       "; it is not used, and nothing was changed");
        return exit_code::usage;
    case journal_result::committed:
        report.Problem("the journal " + Quoted(journal) +
                       " is of a run whose commit has begun: nothing is undone, and its commit "
                       "is to be finished (nimbic-deploy commit --journal FILE)");
        return exit_code::failed;
    case journal_result::failed:
        break;
    }
    if (rollback)
        report.Problem(Count(failed, "step", "steps") + " failed; the journal " + Quoted(journal) +
                       " is kept, so the command can be run again");
    else
        report.Problem(Count(failed, "step", "steps") +
                       " failed; what they name stays, under names no host loads. The run is "
                       "committed all the same and its journal is deleted");
    return exit_code::failed;
}

bool OpenRunJournal(const Options& options, Journal& journal, Report& report)
{
    journal_status status = journal.Open(*options.journal);
    // An earlier run's commit that was cut short: its outcome is decided, so it is finished
    // before this run starts a journal of its own.
    if (status == journal_status::committed) {
        report.Line("The journal " + Quoted(*options.journal) +
                    " is of a run whose commit began and did not end; it is finished first.");
        std::vector<JournalStep> steps;
        const journal_result ended = nimbic::Commit(*options.journal, &steps);
        JournalEnd(ended, steps, *options.journal, command::commit, report);
        status = journal.Open(*options.journal);
    }
    switch (status) {
    case journal_status::ok:
        return true;
    case journal_status::not_a_journal:
        report.Problem("the journal " + Quoted(*options.journal) +
                       " exists and is not a journal of nimbic-deploy; it is left alone");
        return false;
    case journal_status::not_trusted:
        report.Problem("the journal " + Quoted(*options.journal) + " " + not_trusted_words +
                       "; it is not used, and nothing was changed");
        return false;
    case journal_status::committed:
        report.Problem("the journal " + Quoted(*options.journal) +
                       " is of a committed run and cannot be replaced; nothing was changed");
        return false;
    case journal_status::not_opened:
        break;
    }
    report.Problem("the journal " + Quoted(*options.journal) + " cannot be written" +
                   (journal.failure() == sys::open_result::redirected
                        ? " (a link or mount point is on the way)"
                        : ""));
    return false;
}

int RollBack(const Options& options, Report& report)
{
    std::vector<JournalStep> steps;
    const journal_result result = nimbic::RollBack(*options.journal, &steps);
    return JournalEnd(result, steps, *options.journal, command::rollback, report);
}

int Commit(const Options& options, Report& report)
{
    std::vector<JournalStep> steps;
    const journal_result result = nimbic::Commit(*options.journal, &steps);
    return JournalEnd(result, steps, *options.journal, command::commit, report);
}

} // namespace nimbic::deploy
