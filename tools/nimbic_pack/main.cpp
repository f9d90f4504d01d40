// nimbic-pack: creates, lists and extracts script packages, on Linux and on Windows.
#include "engine/script_package.h"
#include "toolkit/core/text_conversion.h"
#include "tools/nimbic_pack/package_writer.h"
#ifdef _WIN32
#include "engine/system/win32/dll_search.h"
#endif

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int usage_error = 2;

const char usage_text[] =
    "usage: nimbic-pack create OUT --from DIR [--ctime SECONDS] [--mtime SECONDS]\n"
    "       nimbic-pack list PACKAGE\n"
    "       nimbic-pack extract PACKAGE DEST\n";

int Usage()
{
    std::fputs(usage_text, stderr);
    return usage_error;
}

void Fail(const std::string& message)
{
    std::fprintf(stderr, "nimbic-pack: %s\n", message.c_str());
}

std::filesystem::path NativePath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool ReadWhole(const std::string& path, std::vector<unsigned char>* bytes)
{
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool ParseSeconds(const std::string& text, int64_t* seconds)
{
    try {
        size_t used = 0;
        *seconds = std::stoll(text, &used);
        return used == text.size();
    } catch (const std::exception&) {
        return false;
    }
}

int Create(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return Usage();
    std::string from;
    nimbic::pack::PackOptions options;
    for (size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return Usage();
        int64_t seconds = 0;
        if (args[i] == "--from")
            from = args[i + 1];
        else if (args[i] == "--ctime" && ParseSeconds(args[i + 1], &seconds))
            options.creation_time = seconds;
        else if (args[i] == "--mtime" && ParseSeconds(args[i + 1], &seconds))
            options.last_write_time = seconds;
        else
            return Usage();
    }
    if (from.empty())
        return Usage();
    const std::string error =
        nimbic::pack::CreatePackage(NativePath(args[1]), NativePath(from), options);
    if (!error.empty()) {
        Fail(error);
        return 1;
    }
    return 0;
}

int List(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return Usage();
    std::vector<unsigned char> package;
    if (!ReadWhole(args[1], &package)) {
        Fail("cannot read " + args[1]);
        return 1;
    }
    std::vector<std::string> lines;
    const std::string error = nimbic::pack::ListPackage(package, &lines);
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    if (!error.empty()) {
        Fail(error);
        return 1;
    }
    return 0;
}

// The exit status is the extractor's own result, so scripts can tell the failures apart.
int Extract(const std::vector<std::string>& args)
{
    if (args.size() != 3)
        return Usage();
    std::vector<unsigned char> package;
    if (!ReadWhole(args[1], &package)) {
        Fail("cannot read " + args[1]);
        return 1;
    }
    std::u16string destination = zksdk::ui::utf8_to_utf16(args[2]);
    for (char16_t& unit : destination) {
        if (unit == u'/')
            unit = u'\\';
    }
    const int32_t result =
        nimbic::ExtractScriptPackage(package.data(), package.size(), destination);
    if (result != 0)
        Fail("extraction failed (" + std::to_string(result) +
             "): " + nimbic::PackageStatusText(result));
    return result;
}

int Run(const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage();
    if (args[0] == "create")
        return Create(args);
    if (args[0] == "list")
        return List(args);
    if (args[0] == "extract")
        return Extract(args);
    return Usage();
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
    nimbic::sys::restrict_dll_search_to_system32();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(zksdk::ui::utf16_to_utf8(reinterpret_cast<const char16_t*>(argv[i])));
    return Run(args);
}
#else
int main(int argc, char** argv)
{
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
