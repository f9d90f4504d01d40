// nimbic-deploy.exe: the deployment commands on the Windows console, UTF-8 in and out.
#include "engine/system/win32/dll_search.h"
#include "toolkit/core/text_conversion.h"
#include "tools/nimbic_deploy/deploy.h"

#include <windows.h>

#include <algorithm>

namespace {

// One standard stream. The console is shared with the caller, so its code page is never changed:
// a console gets UTF-16 through WriteConsoleW, a file or pipe the report's UTF-8 bytes as they
// are, so a redirected report is the same text the console shows.
class StandardStream {
public:
    explicit StandardStream(DWORD which) : m_handle(GetStdHandle(which))
    {
        DWORD mode = 0;
        m_console = m_handle && m_handle != INVALID_HANDLE_VALUE && GetConsoleMode(m_handle, &mode);
    }

    void Write(std::string_view text) const
    {
        if (!m_handle || m_handle == INVALID_HANDLE_VALUE)
            return;
        if (m_console) {
            const std::u16string wide = zksdk::ui::utf8_to_utf16(text);
            WriteAll(wide.data(), wide.size(), WriteConsoleW);
        } else {
            WriteAll(text.data(), text.size(), WriteBytes);
        }
    }

private:
    static BOOL WriteBytes(HANDLE handle, const void* data, DWORD size, DWORD* written, void*)
    {
        return WriteFile(handle, data, size, written, nullptr);
    }

    // Both calls may write less than asked; a failed stream is given up, as fwrite would.
    template <typename Unit, typename Call>
    void WriteAll(const Unit* data, size_t size, Call call) const
    {
        while (size > 0) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 15));
            if (!call(m_handle, data, chunk, &written, nullptr) || written == 0)
                return;
            data += written;
            size -= written;
        }
    }

    HANDLE m_handle;
    bool m_console = false;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    nimbic::sys::restrict_dll_search_to_system32();
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    const StandardStream out(STD_OUTPUT_HANDLE);
    const StandardStream err(STD_ERROR_HANDLE);
    return nimbic::deploy::Run(arguments, {[&](std::string_view text) { out.Write(text); },
                                           [&](std::string_view text) { err.Write(text); }});
}
