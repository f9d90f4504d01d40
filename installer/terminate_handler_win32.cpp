// NimbicSetup.exe's last words on an exception that nothing catches.
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

// Replaces libstdc++'s default handler of the same name, which demangles the exception's type
// name and so links about 45 KB of demangler into the setup program. The message is what tells
// one failure from another here; the type adds nothing.
void __verbose_terminate_handler()
{
    static bool terminating = false;
    if (terminating) {
        std::fputs("terminate called recursively\n", stderr);
        std::abort();
    }
    terminating = true;
    const std::exception_ptr active = std::current_exception();
    if (!active) {
        std::fputs("terminate called without an active exception\n", stderr);
        std::abort();
    }
    try {
        std::rethrow_exception(active);
    } catch (const std::exception& error) {
        std::fputs("terminate called after throwing: ", stderr);
        std::fputs(error.what(), stderr);
        std::fputs("\n", stderr);
    } catch (...) {
        std::fputs("terminate called after throwing an exception of an unknown type\n", stderr);
    }
    std::abort();
}

} // namespace __gnu_cxx
