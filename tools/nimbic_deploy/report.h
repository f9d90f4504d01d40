// What nimbic-deploy tells: lines to the console and, with timestamps, to the log.
#pragma once

#include "engine/log_file.h"
#include "tools/nimbic_deploy/deploy.h"
#include "tools/nimbic_deploy/targets.h"

#include <string>
#include <string_view>

namespace nimbic::deploy {

// A count with its noun: "1 file", "2 files".
std::string Count(size_t count, std::string_view one, std::string_view many);

// The report of one run; owns the log file while it is open.
class Report {
public:
    explicit Report(const Console& console) : m_console(console) {}
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    // The log is the run's diary, never a reason to stop: one that cannot be opened is skipped
    // with a warning.
    void OpenLog(const std::u16string& path);
    // This run's own log in `folder`, named after `stem` and the time; the newest ten are kept.
    void OpenLogInFolder(const std::u16string& folder, std::u16string_view stem);
    void Line(const std::string& text);
    void Problem(const std::string& text);
    // A warning on standard error and in the log.
    void Warning(const std::string& text);

    // Target, component, state and path, tab separated; an explanation follows indented.
    void Row(const Target& target, std::string_view component, std::string_view state,
             const std::u16string& path, const std::string& explanation = {});

private:
    void Log(const std::string& text);

    void LogSkipped(const std::string& problem);

    const Console& m_console;
    LogFile m_log;
};

} // namespace nimbic::deploy
