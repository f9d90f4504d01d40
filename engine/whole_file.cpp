// The temporary file's life: created beside the target, filled, flushed, then either moved over
// the target or removed.
#include "engine/whole_file.h"

namespace nimbic {

namespace {

// Hosts load plug-ins by ".aex" and scripts by ".jsx" or ".jsxbin": this ending is none of them.
constexpr std::u16string_view temporary_ending = u".nimbic-new";

} // namespace

std::u16string WholeFileWriter::TemporaryPath(const std::u16string& target)
{
    return target + std::u16string(temporary_ending);
}

WholeFileWriter::WholeFileWriter(std::u16string target)
    : m_target(std::move(target)), m_temporary(TemporaryPath(m_target))
{
}

WholeFileWriter::~WholeFileWriter()
{
    Close();
    if (m_created)
        sys::delete_file(m_temporary);
}

bool WholeFileWriter::Open()
{
    m_file = sys::create_file(m_temporary, sys::share_mode::none);
    m_created = m_file != sys::invalid_file;
    return m_created;
}

bool WholeFileWriter::Write(const void* data, uint32_t size)
{
    uint32_t written = 0;
    return m_file != sys::invalid_file && sys::write_file(m_file, data, size, &written) &&
           written == size;
}

replace_status WholeFileWriter::Finish(const std::optional<FileTimes>& times)
{
    if (!m_created)
        return replace_status::not_created;
    // A full disk may only show when the cached bytes are written out.
    const bool flushed = m_file != sys::invalid_file && sys::flush_file(m_file);
    Close();
    if (!flushed)
        return replace_status::not_written;
    if (times)
        sys::set_file_times(m_temporary, times->creation, times->last_write);
    if (!sys::replace_file(m_temporary, m_target))
        return replace_status::not_replaced;
    m_created = false;
    return replace_status::done;
}

void WholeFileWriter::Close()
{
    if (m_file == sys::invalid_file)
        return;
    sys::close_file(m_file);
    m_file = sys::invalid_file;
}

} // namespace nimbic
