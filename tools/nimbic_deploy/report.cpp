// The report's lines, to the console and to the log.
#include "tools/nimbic_deploy/report.h"

#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <cstdio>

namespace nimbic::deploy {

using zksdk::ui::utf16_to_utf8;

namespace {

// Enough runs to read back through a morning of retries, not so many that the folder grows.
constexpr size_t kept_logs = 10;

} // namespace

std::string Count(size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

void Report::OpenLog(const std::u16string& path)
{
    if (const auto problem = m_log.OpenFile(path))
        LogSkipped(*problem);
}

void Report::OpenLogInFolder(const std::u16string& folder, std::u16string_view stem)
{
    if (const auto problem = m_log.OpenInFolder(folder, stem, kept_logs))
        LogSkipped(*problem);
}

void Report::LogSkipped(const std::string& problem)
{
    m_console.problem("nimbic-deploy: warning: " + problem + "; no log is written\n");
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

void Report::Warning(const std::string& text)
{
    m_console.problem("nimbic-deploy: warning: " + text + "\n");
    Log("warning: " + text);
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
    if (!m_log.is_open())
        return;
    const sys::local_clock now = sys::local_time();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  ", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    // The run goes on when the log fails: what it does matters more than its diary.
    if (!m_log.Write(stamp + text + "\r\n"))
        m_console.problem("nimbic-deploy: writing the log failed; it stops here\n");
}

} // namespace nimbic::deploy
