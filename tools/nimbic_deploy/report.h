// What nimbic-deploy tells: lines to the console and, with timestamps, to the log.
#pragma once

#include "engine/system/system.h"
#include "tools/nimbic_deploy/deploy.h"
#include "tools/nimbic_deploy/targets.h"

#include <string>
#include <string_view>

namespace nimbic::deploy {

// The report of one run; owns the log file while it is open.
class Report {
public:
    explicit Report(const Console& console) : m_console(console) {}
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;
    ~Report();

    bool OpenLog(const std::u16string& path);
    void Line(const std::string& text);
    void Problem(const std::string& text);

    // Target, component, state and path, tab separated; an explanation follows indented.
    void Row(const Target& target, std::string_view component, std::string_view state,
             const std::u16string& path, const std::string& explanation = {});

private:
    void Log(const std::string& text);

    const Console& m_console;
    sys::file_handle m_log = sys::invalid_file;
};

} // namespace nimbic::deploy
