// The report's lines, to the console and to the log.
#include "tools/nimbic_deploy/report.h"

#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <cstdio>

namespace nimbic::deploy {

using zksdk::ui::utf16_to_utf8;

Report::~Report()
{
    if (m_log != sys::invalid_file)
        sys::close_file(m_log);
}

bool Report::OpenLog(const std::u16string& path)
{
    m_log = sys::create_file(path, sys::share_mode::read_write);
    return m_log != sys::invalid_file;
}

void Report::Line(const std::string& text)
{
    m_console.report(text + "\n");
    Log(text);
}

void Report::Problem(const std::string& text)
{
    m_console.problem("nimbic-deploy: " + text + "\n");
    Log("error: " + text);
}

void Report::Row(const Target& target, std::string_view component, std::string_view state,
                 const std::u16string& path, const std::string& explanation)
{
    Line(target.name + "\t" + std::string(component) + "\t" + std::string(state) + "\t" +
         utf16_to_utf8(path));
    size_t start = 0;
    while (start < explanation.size()) {
        const size_t end = std::min(explanation.find('\n', start), explanation.size());
        Line("    " + explanation.substr(start, end - start));
        start = end + 1;
    }
}

void Report::Log(const std::string& text)
{
    if (m_log == sys::invalid_file)
        return;
    const sys::local_clock now = sys::local_time();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  ", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    const std::string line = stamp + text + "\r\n";
    uint32_t written = 0;
    if (!sys::write_file(m_log, line.data(), static_cast<uint32_t>(line.size()), &written) ||
        written != line.size()) {
        // The run goes on: what it does matters more than its diary.
        sys::close_file(m_log);
        m_log = sys::invalid_file;
        m_console.problem("nimbic-deploy: writing the log failed; it stops here\n");
    }
}

} // namespace nimbic::deploy
