// Removing a wizard install: the recorded files whose bytes are still ours, the Apps entry, and
// last the program folder. The uninstall window and "/uninstall /quiet" share it.
#pragma once

#include "installer/run_log.h"

#include "engine/install_record.h"
#include "engine/uninstall.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

// The Temp copy's folder below the Windows Temp folder: this and 16 random hex digits.
inline constexpr std::u16string_view temp_copy_prefix = u"nimbic-uninstall-";

// One target as the record names it, and the folders its files are in, each once.
struct UninstallPlace {
    std::string target;
    std::vector<std::u16string> folders;
};

// What became of the program folder, which goes last.
enum class program_folder {
    kept,       // Run did not get that far: a file or the entry stayed, or the MSI owns it
    removed,    // deleted now (or never there)
    by_copy,    // the Temp copy deletes it once this process, and the processes waited for, ended
    at_restart, // its copy could not be started, or a program there still runs: the restart does
    left,       // a program there could be neither deleted nor left for the restart
};

// One uninstall, owned by the window or the quiet run that does it.
class HandUninstall {
public:
    // `started_as` ends the log's first line: "..., uninstalled by its window (/uninstall)".
    explicit HandUninstall(std::string_view started_as = "its window (/uninstall)")
        : m_log(started_as)
    {
    }

    // Reads the record in the product folder (the MSI product's, when it is installed) and
    // whether the MSI's product is installed (whose entry, programs and files are then Windows
    // Installer's to remove).
    record_status Load();
    const InstallRecord& record() const { return m_record; }
    // Why the record Load read stops the uninstall before anything is removed, entry and program
    // included; empty when it does not (read whole, or missing: nothing is recorded). A damaged
    // record would lose its unreadable lines, and the files they list, at the first save; one a
    // standard user could have written names files that are not ours to delete.
    const std::string& refusal() const { return m_refusal; }
    const std::u16string& folder() const { return m_folder; }
    // The Windows Installer package's product is installed: it is the one to remove, and Run
    // removes no file.
    bool msi_product() const { return m_msi_product; }
    std::vector<UninstallPlace> Places() const;

    // With a refusal, does nothing. Else sweeps earlier Temp copies, removes the recorded files (a
    // held one as `held` says) and saves the record. Once nothing of ours is left in it, the entry
    // goes, then the program folder: when the running program is the one there, a copy of it in the
    // Windows Temp folder deletes it after this process (and `waited`, the processes that wait for
    // this one) ended. Call it holding the writing lock.
    UninstallReport Run(when_held held, const std::function<void(size_t, size_t)>& progress,
                        const std::vector<uint32_t>& waited = {});
    // After Run: nothing failed, and the entry and the program are gone (or going).
    bool complete() const { return m_complete; }
    // After Run: a file, or the program folder, is deleted only when Windows restarts.
    bool restart_needed() const { return m_restart; }
    program_folder program() const { return m_program; }
    // "Restart Windows to finish: ..." when a restart is needed, else empty.
    std::string RestartNote() const;
    // Run logs what became of each file, the entry and the program; the caller adds how it ended.
    UninstallLog& log() { return m_log; }
    // The log's last line.
    void LogEnd(int exit_code, const std::string& result);

private:
    UninstallLog m_log;
    std::u16string m_folder;
    InstallRecord m_record;
    std::string m_refusal;
    bool m_msi_product = false;
    bool m_complete = false;
    bool m_restart = false;
    program_folder m_program = program_folder::kept;
};

// What the window's result page and the quiet run say when the record stops the uninstall.
std::string RefusedResult(const std::string& refusal);

// The Temp copy's work ("/finish-uninstall PID..."): once those processes ended, sweeps earlier
// Temp copies and deletes the program copy in the product folder, that folder and Vantrel when
// empty. A copy still running is renamed aside and only that name is left for the restart;
// this copy itself stays until the next uninstall sweeps it. Returns the exit code (0).
int FinishUninstall(const std::vector<uint32_t>& waited);

// Deletes the folders earlier Temp copies ran from ("nimbic-uninstall-..." below the Windows
// Temp folder), each with its program, once that program no longer runs: only folders owned by
// Administrators or SYSTEM, never through a link, and never a file but the program's. The
// running program's own folder is left alone. Call it holding the writing lock.
void SweepTempCopies();

} // namespace nimbic
