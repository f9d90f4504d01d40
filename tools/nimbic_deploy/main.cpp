// nimbic-deploy.exe: the deployment commands on the Windows console, UTF-8 in and out.
#include "engine/system/win32/dll_search.h"
#include "tools/nimbic_deploy/deploy.h"

#include <windows.h>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

int wmain(int argc, wchar_t** argv)
{
    nimbic::sys::restrict_dll_search_to_system32();
    // Raw UTF-8 bytes, so a redirected report is the same text the console shows.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);

    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    auto to = [](FILE* stream) {
        return [stream](std::string_view text) {
            std::fwrite(text.data(), 1, text.size(), stream);
            std::fflush(stream);
        };
    };
    return nimbic::deploy::Run(arguments, {to(stdout), to(stderr)});
}
