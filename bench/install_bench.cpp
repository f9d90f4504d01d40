// Install phase benchmark: RunInstall into three targets against plain CreateFileW / WriteFile of
// the same bytes (the plug-in module and the extracted script files), plain and with each file
// flushed, in the same run, from the running executable's own resources 400 and 500. Prints min
// and median of each and the ratios.
#include "engine/install_state.h"
#include "engine/install_worker.h"
#include "engine/script_package.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int target_count = 3;
constexpr int default_runs = 30;

struct ScriptFile {
    std::wstring relative; // under a scripts folder
    std::vector<char> bytes;
};

// What one install writes per target, held in memory so the baseline only writes.
struct Payload {
    const void* module = nullptr;
    DWORD module_size = 0;
    std::vector<std::wstring> folders; // under a scripts folder, parents before children
    std::vector<ScriptFile> scripts;
};

struct Targets {
    std::vector<std::wstring> plugin_folders;
    std::vector<std::wstring> scripts_folders;
};

std::u16string Utf16(const std::wstring& text)
{
    return {reinterpret_cast<const char16_t*>(text.c_str()), text.size()};
}

double NowMs()
{
    static const double ticks_per_ms = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e3;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticks_per_ms;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

bool ReadWholeFile(const std::wstring& path, std::vector<char>& bytes)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    const bool complete =
        bytes.empty() ||
        (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
         read == bytes.size());
    CloseHandle(file);
    return complete;
}

// Collects the folders and files the extractor made under `root`, relative to it.
bool CollectTree(const std::wstring& root, const std::wstring& relative, Payload& payload)
{
    WIN32_FIND_DATAW found;
    const std::wstring here = relative.empty() ? root : root + L"\\" + relative;
    const HANDLE search = FindFirstFileW((here + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool complete = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            payload.folders.push_back(child);
            complete = CollectTree(root, child, payload) && complete;
        } else {
            payload.scripts.push_back({child, {}});
            complete =
                ReadWholeFile(root + L"\\" + child, payload.scripts.back().bytes) && complete;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return complete;
}

const void* OwnResource(int id, DWORD* size)
{
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
    const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    *size = found ? SizeofResource(nullptr, found) : 0;
    return loaded ? LockResource(loaded) : nullptr;
}

// The module as the engine reads it; the script files as the engine's own extractor makes them.
bool LoadPayload(const std::wstring& scratch, Payload& payload)
{
    payload.module = OwnResource(nimbic::plugin_resource_id, &payload.module_size);
    DWORD package_size = 0;
    const void* package = OwnResource(nimbic::scripts_resource_id, &package_size);
    if (payload.module == nullptr || package == nullptr)
        return false;
    CreateDirectoryW(scratch.c_str(), nullptr);
    if (nimbic::ExtractScriptPackage(package, package_size, Utf16(scratch)) !=
        nimbic::package_status::ok)
        return false;
    return CollectTree(scratch, L"", payload);
}

// A fresh set of existing, empty plug-in and Scripts folders, as a real host has them.
void PrepareTargets(const std::wstring& root, const Targets& targets)
{
    RemoveTree(root);
    CreateDirectoryW(root.c_str(), nullptr);
    for (int i = 0; i < target_count; ++i) {
        const std::wstring version = root + L"\\After Effects " + std::to_wstring(i + 1);
        CreateDirectoryW(version.c_str(), nullptr);
        CreateDirectoryW(targets.plugin_folders[i].c_str(), nullptr);
        CreateDirectoryW(targets.scripts_folders[i].c_str(), nullptr);
    }
}

Targets MakeTargets(const std::wstring& root)
{
    Targets targets;
    for (int i = 0; i < target_count; ++i) {
        const std::wstring version = root + L"\\After Effects " + std::to_wstring(i + 1);
        targets.plugin_folders.push_back(version + L"\\Plug-ins");
        targets.scripts_folders.push_back(version + L"\\Scripts");
    }
    return targets;
}

enum class flush { no, yes };

bool WritePlain(const std::wstring& path, const void* bytes, DWORD size, flush flushed)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool complete = WriteFile(file, bytes, size, &written, nullptr) && written == size &&
                          (flushed == flush::no || FlushFileBuffers(file));
    CloseHandle(file);
    return complete;
}

// The baseline: the same folders and bytes, nothing else; flushed, it is the least any install
// that puts its files on the disk before it reports them done must wait for.
bool InstallPlain(const Payload& payload, const Targets& targets, flush flushed = flush::no)
{
    bool complete = true;
    for (int i = 0; i < target_count; ++i) {
        const std::wstring folder = targets.plugin_folders[i] + L"\\Vantrel";
        CreateDirectoryW(folder.c_str(), nullptr);
        complete =
            WritePlain(folder + L"\\Nimbic.aex", payload.module, payload.module_size, flushed) &&
            complete;
    }
    for (int i = 0; i < target_count; ++i) {
        const std::wstring& scripts = targets.scripts_folders[i];
        for (const std::wstring& folder : payload.folders)
            CreateDirectoryW((scripts + L"\\" + folder).c_str(), nullptr);
        for (const ScriptFile& file : payload.scripts) {
            complete = WritePlain(scripts + L"\\" + file.relative, file.bytes.data(),
                                  static_cast<DWORD>(file.bytes.size()), flushed) &&
                       complete;
        }
    }
    return complete;
}

bool InstallWithEngine(const Targets& targets)
{
    std::vector<std::u16string> plugins, scripts;
    for (int i = 0; i < target_count; ++i) {
        plugins.push_back(Utf16(targets.plugin_folders[i]));
        scripts.push_back(Utf16(targets.scripts_folders[i]));
    }
    nimbic::InstallState state;
    nimbic::RunInstall(state, std::move(plugins), std::move(scripts));
    bool complete = state.done();
    for (int i = 0; i < target_count; ++i) {
        complete = complete && state.plugin_cells().get(i) == nimbic::install_status::done &&
                   state.scripts_cells().get(i) == nimbic::install_status::done;
    }
    return complete;
}

// Both ways must leave the same bytes on disk, or the comparison means nothing.
bool SameBytesOnDisk(const Payload& payload, const Targets& targets)
{
    std::vector<char> bytes;
    const char* module = static_cast<const char*>(payload.module);
    for (int i = 0; i < target_count; ++i) {
        if (!ReadWholeFile(targets.plugin_folders[i] + L"\\Vantrel\\Nimbic.aex", bytes) ||
            !std::equal(bytes.begin(), bytes.end(), module, module + payload.module_size))
            return false;
        for (const ScriptFile& file : payload.scripts) {
            if (!ReadWholeFile(targets.scripts_folders[i] + L"\\" + file.relative, bytes) ||
                bytes != file.bytes)
                return false;
        }
    }
    return true;
}

// RunInstall makes the maker's shared folder; a prefix that had none before is left without one,
// so later tests that copy this prefix still see a machine the installer never ran on.
std::wstring MakerFolderToRemove()
{
    wchar_t app_data[MAX_PATH] = {};
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, app_data)))
        return {};
    const std::wstring folder = std::wstring(app_data) + L"\\Vantrel";
    return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES ? folder : L"";
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void PrintRow(const char* name, const std::vector<double>& times)
{
    std::printf("  %-13s min %8.3f ms  median %8.3f ms\n", name,
                *std::min_element(times.begin(), times.end()), Median(times));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : default_runs;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        std::wstring(temp) + L"nimbic-install-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring root = base + L"\\targets";
    CreateDirectoryW(base.c_str(), nullptr);
    const Targets targets = MakeTargets(root);
    const std::wstring maker_folder = MakerFolderToRemove();

    Payload payload;
    bool ok = LoadPayload(base + L"\\extracted", payload);
    if (ok) {
        PrepareTargets(root, targets);
        ok = InstallWithEngine(targets) && SameBytesOnDisk(payload, targets);
        PrepareTargets(root, targets);
        ok = ok && InstallPlain(payload, targets) && SameBytesOnDisk(payload, targets);
    }
    std::vector<double> times[3]; // the engine, plain writes, flushed plain writes
    // Rotating which goes first keeps a slow moment of the machine from landing on one side.
    for (int run = 0; ok && run < runs; ++run) {
        for (int turn = 0; ok && turn < 3; ++turn) {
            const int way = (run + turn) % 3;
            PrepareTargets(root, targets);
            const double start = NowMs();
            ok = way == 0   ? InstallWithEngine(targets)
                 : way == 1 ? InstallPlain(payload, targets)
                            : InstallPlain(payload, targets, flush::yes);
            times[way].push_back(NowMs() - start);
        }
    }
    RemoveTree(base);
    if (!maker_folder.empty())
        RemoveDirectoryW(maker_folder.c_str());
    if (!ok) {
        std::fprintf(stderr, "install_bench: the install or the plain writes failed\n");
        return 1;
    }

    size_t script_bytes = 0;
    for (const ScriptFile& file : payload.scripts)
        script_bytes += file.bytes.size();
    std::printf(
        "install into %d targets: module %lu bytes, %zu script file(s) %zu bytes, %d runs\n",
        target_count, static_cast<unsigned long>(payload.module_size), payload.scripts.size(),
        script_bytes, runs);
    PrintRow("RunInstall", times[0]);
    PrintRow("plain writes", times[1]);
    PrintRow("  flushed", times[2]);
    auto least = [](const std::vector<double>& values) {
        return *std::min_element(values.begin(), values.end());
    };
    std::printf("  ratio RunInstall / plain writes: %.2f (min), %.2f (median)\n",
                least(times[0]) / least(times[1]), Median(times[0]) / Median(times[1]));
    std::printf("  ratio RunInstall / flushed plain writes: %.2f (min), %.2f (median)\n",
                least(times[0]) / least(times[2]), Median(times[0]) / Median(times[2]));
    return 0;
}
