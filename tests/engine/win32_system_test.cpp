// The engine on the real Windows calls, under Wine: the registry written by the test itself,
// the payloads embedded in this executable, and files on the prefix's disk.
#include "engine/apps_entry.h"
#include "engine/disk_space.h"
#include "engine/install_files.h"
#include "engine/install_worker.h"
#include "engine/journal.h"
#include "engine/paths.h"
#include "engine/script_package.h"
#include "engine/setup_lock.h"
#include "engine/system/system.h"
#include "tests/engine/package_bytes.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <thread>

namespace nimbic {
namespace {

const wchar_t host_key[] = L"SOFTWARE\\Adobe\\After Effects";

std::u16string U16(const std::wstring& text)
{
    return std::u16string(text.begin(), text.end());
}

int64_t FileTime(int64_t seconds)
{
    return (seconds + 11644473600) * 10000000;
}

int64_t Ticks(const FILETIME& time)
{
    return static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

std::string ReadAll(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// A fresh folder of the test's own under the prefix's temp folder, removed afterwards.
class Win32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = info->name();
        m_root = std::wstring(temp) + L"nimbic-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::wstring(name.begin(), name.end());
        ASSERT_TRUE(create_directories(U16(m_root)));
    }
    void TearDown() override
    {
        std::wstring from = m_root + L'\0';
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        SHFileOperationW(&op);
    }

    std::wstring m_root;
};

class Win32RegistryTest : public Win32Test {
protected:
    void SetUp() override
    {
        Win32Test::SetUp();
        HKEY existing = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, host_key, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
            RegCloseKey(existing);
            GTEST_SKIP() << "this prefix already has the host's key; it is not ours to change";
        }
        m_owns_key = true;
    }
    void TearDown() override
    {
        if (m_owns_key)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, host_key);
        Win32Test::TearDown();
    }

    static void Register(const std::wstring& version, const std::wstring& folder)
    {
        const std::wstring path = std::wstring(host_key) + L"\\" + version;
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                                 KEY_WRITE, nullptr, &key, nullptr));
        RegSetValueExW(key, L"PluginInstallPath", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    bool m_owns_key = false;
};

TEST_F(Win32RegistryTest, TheScanFindsTheVersionsRegisteredUnderTheHostKey)
{
    Register(L"13.5",
             L"C:\\Program Files\\Adobe\\Adobe After Effects CC 2015\\Support Files\\Plug-ins");
    Register(L"16.0", L"C:/Program Files/Adobe/Adobe After Effects 2019/Support Files/Plug-ins");
    Register(L"12", L"");
    Register(L"17.0", L"");
    Register(L"11", L"C:\\Skipped\\Support Files\\Plug-ins");
    Register(L"14.0", std::wstring(255, L'x'));
    Register(L"15.0", std::wstring(256, L'y'));

    InstallState state;
    std::vector<InstallTarget> targets;
    BuildInstallTargets(state, targets);
    ASSERT_EQ(4u, targets.size());
    EXPECT_EQ(7, targets[0].index);
    EXPECT_EQ(9, targets[1].index);
    EXPECT_EQ(std::u16string(255, u'x'), targets[1].plugin_folder);
    EXPECT_EQ(12, targets[2].index);
    EXPECT_EQ(11, targets[3].index);
    EXPECT_EQ("2019", state.version_names()[12]);
    EXPECT_EQ(u"C:\\Program Files\\Adobe\\Adobe After Effects 2019\\Support Files\\Plug-ins",
              targets[2].plugin_folder);
    EXPECT_EQ(u"C:\\Program Files\\Adobe\\Adobe After Effects 2019\\Support Files\\Scripts",
              targets[2].scripts_folder);
}

TEST_F(Win32Test, ThePayloadsAreEmbeddedAndTheScriptExtractsWithItsTimes)
{
    const sys::resource plugin = sys::find_resource(plugin_resource_id);
    ASSERT_NE(0u, plugin);
    const auto* module = static_cast<const char*>(sys::lock_resource(sys::load_resource(plugin)));
    const std::string embedded(module, sys::resource_size(plugin));
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_PLUGIN_PAYLOAD), embedded);
    EXPECT_EQ("MZ", embedded.substr(0, 2)); // a real Windows module

    const sys::resource scripts = sys::find_resource(scripts_resource_id);
    ASSERT_NE(0u, scripts);
    const void* package = sys::lock_resource(sys::load_resource(scripts));
    const std::wstring destination = m_root + L"\\Support Files\\Scripts";
    ASSERT_EQ(0, ExtractScriptPackage(package, sys::resource_size(scripts), U16(destination)));

    const std::wstring script = destination + L"\\ScriptUI Panels\\Nimbic.jsx";
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_SCRIPT_SOURCE), ReadAll(script));
    HANDLE file = CreateFileW(script.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FILETIME created{}, accessed{}, written{};
    ASSERT_TRUE(GetFileTime(file, &created, &accessed, &written));
    CloseHandle(file);
    EXPECT_EQ(FileTime(1584976883), Ticks(written));
    // Wine keeps files on a Linux file system, which has no settable creation time; it reports
    // some real time instead, never a zero one.
    EXPECT_NE(0, Ticks(created));
}

TEST_F(Win32Test, TheWorkerInstallsIntoRealFolders)
{
    const std::wstring host = m_root + L"\\Adobe After Effects 2024\\Support Files";
    ASSERT_TRUE(create_directories(U16(host + L"\\Plug-ins")));
    InstallState state;
    RunInstall(state, {U16(host + L"\\Plug-ins\\"), U16(m_root + L"\\Missing\\Plug-ins")},
               {U16(host + L"\\Scripts"), u""});
    ASSERT_TRUE(state.done());
    EXPECT_EQ(2, state.plugin_cells().get(0));
    EXPECT_EQ(40, state.plugin_cells().get(1)); // its folder does not exist
    EXPECT_EQ(2, state.scripts_cells().get(0));
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_PLUGIN_PAYLOAD),
              ReadAll(host + L"\\Plug-ins\\Vantrel\\Nimbic.aex"));
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_SCRIPT_SOURCE),
              ReadAll(host + L"\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));

    wchar_t shared[MAX_PATH];
    ASSERT_EQ(S_OK,
              SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, shared));
    const DWORD attributes = GetFileAttributesW((std::wstring(shared) + L"\\Vantrel").c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Deeper than MAX_PATH, where Windows takes only the "\\?\" form of a path (Wine is laxer). That
// form is not resolved by the system, so the path also carries a "." and a doubled separator.
TEST_F(Win32Test, TheWorkerInstallsIntoFoldersDeeperThanMaxPath)
{
    std::wstring host = m_root;
    while (host.size() < 300)
        host += L"\\Adobe After Effects 2024";
    ASSERT_TRUE(create_directories(U16(host + L"\\Plug-ins")));
    InstallState state;
    RunInstall(state, {U16(host + L"\\.\\Plug-ins\\")}, {U16(host + L"\\Scripts")});
    EXPECT_EQ(2, state.plugin_cells().get(0));
    EXPECT_EQ(2, state.scripts_cells().get(0));
    const std::wstring module = L"\\\\?\\" + host + L"\\Plug-ins\\Vantrel\\Nimbic.aex";
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_PLUGIN_PAYLOAD), ReadAll(module));
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_SCRIPT_SOURCE),
              ReadAll(L"\\\\?\\" + host + L"\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((module + L".nimbic-new").c_str()));

    // Wine's SHFileOperationW cannot go this deep (it cuts the path and deletes elsewhere), so
    // the tree comes down with the engine's own calls before TearDown.
    for (const wchar_t* file :
         {L"\\Plug-ins\\Vantrel\\Nimbic.aex", L"\\Scripts\\ScriptUI Panels\\Nimbic.jsx"})
        EXPECT_EQ(sys::remove_result::removed, sys::delete_file(U16(host + file)));
    for (const wchar_t* folder :
         {L"\\Plug-ins\\Vantrel", L"\\Plug-ins", L"\\Scripts\\ScriptUI Panels", L"\\Scripts"})
        EXPECT_EQ(sys::remove_result::removed, sys::remove_directory(U16(host + folder)));
    for (std::wstring level = host; level.size() > m_root.size(); level.resize(level.rfind(L'\\')))
        EXPECT_EQ(sys::remove_result::removed, sys::remove_directory(U16(level)));
}

// A running host holds its plug-in open without sharing: the move over it fails, the old module
// stays as it was and no temporary file is left; once the host lets go, a retry replaces it.
TEST_F(Win32Test, APluginFileHeldOpenWithoutSharingGives40AndKeepsItsBytes)
{
    const std::wstring folder = m_root + L"\\Plug-ins";
    const std::wstring module = folder + L"\\Vantrel\\Nimbic.aex";
    ASSERT_TRUE(create_directories(U16(folder + L"\\Vantrel")));
    HANDLE old = CreateFileW(module.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, old);
    DWORD written = 0;
    WriteFile(old, "MZ old", 6, &written, nullptr);
    CloseHandle(old);
    HANDLE held = CreateFileW(module.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    InstallState state;
    RunInstall(state, {U16(folder)}, {});
    EXPECT_EQ(40, state.plugin_cells().get(0));
    CloseHandle(held);
    EXPECT_EQ("MZ old", ReadAll(module));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((module + L".nimbic-new").c_str()));

    RunInstall(state, {U16(folder)}, {});
    EXPECT_EQ(2, state.plugin_cells().get(0));
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_PLUGIN_PAYLOAD), ReadAll(module));
}

TEST_F(Win32Test, CreateDirectoriesStopsAtAFileInTheWay)
{
    EXPECT_TRUE(create_directories(U16(m_root + L"\\a\\b\\c")));
    EXPECT_TRUE(create_directories(U16(m_root + L"\\a\\b\\c\\")));
    HANDLE file = CreateFileW((m_root + L"\\a\\file").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    EXPECT_FALSE(create_directories(U16(m_root + L"\\a\\file\\x\\y")));
}

// Windows opens a device for these names: "NUL" would swallow the script and report success,
// "AUX" as a folder would make nothing and still succeed.
TEST_F(Win32Test, DeviceNamesInAPackageAreRefusedBeforeAnythingOpensThem)
{
    const std::u16string destination = U16(m_root + L"\\Scripts");
    const struct {
        std::vector<std::string> folders;
        std::vector<pack::PackFile> files;
        int32_t expected;
    } cases[] = {
        {{""}, {{"NUL", "payload", 0, 0}}, package_status::file_not_opened},
        {{""}, {{"Com1.jsx", "payload", 0, 0}}, package_status::file_not_opened},
        {{"AUX"}, {}, package_status::folder_not_created},
        {{"panels\\conout$ "}, {}, package_status::folder_not_created},
    };
    for (const auto& broken : cases) {
        const test::Bytes package = pack::EncodePackage(broken.folders, broken.files);
        EXPECT_EQ(broken.expected,
                  ExtractScriptPackage(package.data(), package.size(), destination));
    }
}

// The folder-handle calls on Wine's file system: a file made, time-stamped, moved over another
// and deleted, each through handles; a held file told apart; and a replacement under a journal
// rolled back on the real disk.
TEST_F(Win32Test, FilesAreMadeMovedAndDeletedThroughTheFolderHandle)
{
    const std::u16string root = U16(m_root);
    const std::wstring target = m_root + L"\\Vantrel\\Nimbic.aex";
    sys::folder_handle folder = sys::invalid_folder;
    ASSERT_EQ(sys::open_result::opened, sys::open_folder(root + u"\\.\\", &folder));
    sys::folder_handle child = sys::invalid_folder;
    bool created = false;
    ASSERT_EQ(sys::open_result::opened,
              sys::open_child_folder(folder, u"Vantrel", sys::folder_creation::create_if_missing,
                                     &child, &created));
    EXPECT_TRUE(created);
    EXPECT_TRUE(sys::has_administrator_owner(child));
    sys::folder_handle none = sys::invalid_folder;
    EXPECT_EQ(sys::open_result::missing,
              sys::open_child_folder(child, u"Nope", sys::folder_creation::open_existing, &none,
                                     &created));

    sys::file_handle file = sys::invalid_file;
    sys::file_handle second = sys::invalid_file;
    ASSERT_EQ(sys::open_result::opened, sys::create_child_file(child, u"new.tmp", &file));
    EXPECT_EQ(sys::open_result::exists, sys::create_child_file(child, u"new.tmp", &second));
    uint32_t written = 0;
    ASSERT_TRUE(sys::write_file(file, "new bytes", 9, &written));
    ASSERT_TRUE(sys::flush_file(file));
    EXPECT_TRUE(sys::set_times(file, FileTime(1647261376), FileTime(1584976883)));
    DWORD done = 0;
    HANDLE old = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    WriteFile(old, "old", 3, &done, nullptr);
    CloseHandle(old);
    // A taken name is kept unless the move is told to replace it, then replaced in one step.
    EXPECT_EQ(sys::open_result::exists,
              sys::rename_opened(file, child, u"Nimbic.aex", sys::rename_mode::keep_existing));
    EXPECT_EQ(sys::open_result::opened,
              sys::rename_opened(file, child, u"Nimbic.aex", sys::rename_mode::replace_existing));
    sys::close_file(file);
    EXPECT_EQ("new bytes", ReadAll(target));
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &attributes));
    EXPECT_EQ(FileTime(1584976883), Ticks(attributes.ftLastWriteTime));
    std::vector<std::u16string> names;
    ASSERT_TRUE(sys::list_children(child, &names));
    EXPECT_EQ(std::vector<std::u16string>{u"Nimbic.aex"}, names);

    // A program that holds the file without sharing deletion: it can be read, not removed.
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    EXPECT_EQ(sys::open_result::held,
              sys::open_child_file(child, u"Nimbic.aex", sys::child_access::remove, &file));
    ASSERT_EQ(sys::open_result::opened,
              sys::open_child_file(child, u"Nimbic.aex", sys::child_access::read, &file));
    std::string bytes;
    EXPECT_TRUE(sys::read_opened(file, 100, &bytes));
    EXPECT_EQ("new bytes", bytes);
    sys::close_file(file);
    CloseHandle(held);

    ASSERT_EQ(sys::open_result::opened,
              sys::open_child_file(child, u"Nimbic.aex", sys::child_access::remove, &file));
    EXPECT_TRUE(sys::delete_opened(file));
    sys::close_file(file);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
    sys::close_folder(child);
    EXPECT_EQ(sys::remove_result::removed, sys::remove_child_folder(folder, u"Vantrel"));
    sys::close_folder(folder);

    // The same calls carry a replacement under a journal, and its rollback.
    ASSERT_TRUE(create_directories(root + u"\\Vantrel"));
    old = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    WriteFile(old, "older", 5, &done, nullptr);
    CloseHandle(old);
    {
        Journal journal;
        ASSERT_EQ(journal_status::ok, journal.Open(root + u"\\journal.txt"));
        OpenedFolder opened;
        ASSERT_EQ(sys::open_result::opened,
                  OpenedFolder::Open(root + u"\\Vantrel", sys::folder_creation::open_existing,
                                     &journal, &opened));
        file_change change = file_change::unchanged;
        ASSERT_EQ(install_file_status::done,
                  InstallFile(opened, u"Nimbic.aex", "newer", std::nullopt, &journal, &change));
        EXPECT_EQ(file_change::replaced, change);
        EXPECT_EQ("newer", ReadAll(target));
    }
    std::vector<JournalStep> steps;
    EXPECT_EQ(journal_result::done, RollBack(root + u"\\journal.txt", &steps));
    EXPECT_EQ("older", ReadAll(target));
    ASSERT_TRUE(sys::open_folder(root + u"\\Vantrel", &folder) == sys::open_result::opened);
    ASSERT_TRUE(sys::list_children(folder, &names));
    sys::close_folder(folder);
    EXPECT_EQ(std::vector<std::u16string>{u"Nimbic.aex"}, names);
}

// The machine-wide calls on Wine: an Apps entry in the 64-bit view, a drive's free space, the
// setup mutex another thread holds, and the services Wine answers with nobody.
TEST_F(Win32Test, EntryFreeSpaceMutexAndServicesWorkOnTheRealCalls)
{
    const std::u16string name = u"Nimbic.Test." + U16(std::to_wstring(GetCurrentProcessId()));
    ASSERT_TRUE(WriteAppsEntry(name, {{u"DisplayName", std::u16string(u"Test")},
                                      {u"EstimatedSize", uint32_t{0x12345678}}}));
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                             std::wstring(name.begin(), name.end());
    DWORD size = 0;
    DWORD bytes = sizeof size;
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"EstimatedSize",
                           RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &size, &bytes));
    EXPECT_EQ(0x12345678u, size);
    EXPECT_TRUE(AppsEntryExists(name));
    EXPECT_TRUE(DeleteAppsEntry(name));
    EXPECT_FALSE(AppsEntryExists(name));

    uint64_t available = 0;
    EXPECT_TRUE(sys::free_disk_space(U16(m_root), &available));
    EXPECT_GT(available, 0u);
    std::u16string root;
    ASSERT_TRUE(sys::volume_root(U16(m_root) + u"\\not made yet", &root));
    EXPECT_FALSE(root.empty());
    EXPECT_TRUE(FindSpaceShortages({{U16(m_root) + u"\\a\\b", 1024}}).empty());
    const std::vector<SpaceShortage> short_of =
        FindSpaceShortages({{U16(m_root), available + (uint64_t{1} << 40)}});
    ASSERT_EQ(1u, short_of.size());
    EXPECT_TRUE(same_path(root, short_of[0].volume));

    // Held on another thread as another setup would hold it: a lock times out, then succeeds.
    {
        SetupLock held;
        ASSERT_EQ(sys::lock_result::acquired, held.Acquire(0));
        std::thread([] {
            SetupLock second;
            EXPECT_EQ(sys::lock_result::timed_out, second.Acquire(50));
            EXPECT_TRUE(SetupLock::IsTaken());
        }).join();
    }
    std::thread([] {
        SetupLock next;
        EXPECT_EQ(sys::lock_result::acquired, next.Acquire(1000));
    }).join();

    // A name a standard user made first, owned by that user and held by them: it blocks nobody
    // and does not pass for a setup that runs.
    {
        HANDLE token = nullptr;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
        std::vector<BYTE> user(256);
        DWORD length = 0;
        ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(),
                                        static_cast<DWORD>(user.size()), &length));
        CloseHandle(token);
        wchar_t* sid = nullptr;
        ASSERT_TRUE(
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid));
        const std::wstring sddl = L"O:" + std::wstring(sid) + L"D:(A;;GA;;;WD)";
        LocalFree(sid);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
        const std::u16string squatted = u"Global\\" + name + u".Squatted";
        HANDLE planted =
            CreateMutexW(&attributes, TRUE, reinterpret_cast<const wchar_t*>(squatted.c_str()));
        LocalFree(descriptor);
        ASSERT_NE(nullptr, planted);
        std::thread([&squatted] {
            SetupLock ours(squatted);
            EXPECT_EQ(sys::lock_result::acquired, ours.Acquire(5000));
            EXPECT_TRUE(ours.held());
            EXPECT_FALSE(SetupLock::IsTaken(squatted));
        }).join();
        ReleaseMutex(planted);
        CloseHandle(planted);
    }

    // Wine's Restart Manager names nobody, and no MSI product of ours is installed here.
    const std::wstring file = m_root + L"\\held.txt";
    HANDLE open = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_TRUE(sys::programs_using_files({U16(file)}).empty());
    CloseHandle(open);
    std::u16string product;
    EXPECT_FALSE(
        sys::related_product_installed(u"{00000000-0000-0000-0000-000000000000}", &product));
    EXPECT_TRUE(sys::wait_for_process_exit(0xFFFFFFF0, 10)) << "no such process has ended";
}

// What Windows lets us do with a read-only file and with a module a program has loaded: the
// first is deleted and replaced like any other; the second refuses writers and deletion but
// can be renamed, which is how an install under a journal and an uninstall get it out of the way.
TEST_F(Win32Test, ReadOnlyFilesGoAndLoadedModulesAreRenamedAside)
{
    const std::u16string root = U16(m_root);
    auto make = [&](const wchar_t* name, const char* bytes, DWORD attributes) {
        const std::wstring path = m_root + L"\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD done = 0;
        WriteFile(file, bytes, static_cast<DWORD>(strlen(bytes)), &done, nullptr);
        CloseHandle(file);
        SetFileAttributesW(path.c_str(), attributes);
        return path;
    };
    sys::folder_handle folder = sys::invalid_folder;
    ASSERT_EQ(sys::open_result::opened, sys::open_folder(root, &folder));
    const std::wstring doomed = make(L"doomed.jsx", "old", FILE_ATTRIBUTE_READONLY);
    sys::file_handle file = sys::invalid_file;
    ASSERT_EQ(sys::open_result::opened,
              sys::open_child_file(folder, u"doomed.jsx", sys::child_access::remove, &file));
    EXPECT_TRUE(sys::file_has_administrator_owner(file));
    EXPECT_TRUE(sys::delete_opened(file));
    sys::close_file(file);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(doomed.c_str()));

    const std::wstring replaced = make(L"Nimbic.jsx", "old", FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(sys::open_result::opened, sys::create_child_file(folder, u"new.tmp", &file));
    uint32_t written = 0;
    ASSERT_TRUE(sys::write_file(file, "new", 3, &written));
    EXPECT_EQ(sys::open_result::opened,
              sys::rename_opened(file, folder, u"Nimbic.jsx", sys::rename_mode::replace_existing));
    sys::close_file(file);
    EXPECT_EQ("new", ReadAll(replaced));

    // A real module, loaded as a host loads its plug-ins (its code never runs here).
    const std::wstring module = m_root + L"\\Nimbic.aex";
    const std::string payload = NIMBIC_PLUGIN_PAYLOAD;
    ASSERT_TRUE(
        CopyFileW(std::wstring(payload.begin(), payload.end()).c_str(), module.c_str(), TRUE));
    HMODULE loaded = LoadLibraryExW(module.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(sys::open_result::held,
              sys::open_child_file(folder, u"Nimbic.aex", sys::child_access::overwrite, &file));
    ASSERT_EQ(sys::open_result::opened,
              sys::open_child_file(folder, u"Nimbic.aex", sys::child_access::remove, &file));
    EXPECT_FALSE(sys::delete_opened(file));
    EXPECT_EQ(sys::open_result::opened,
              sys::rename_opened(file, folder, u"Nimbic.aex.0123456789abcdef.nimbic-old",
                                 sys::rename_mode::keep_existing));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(module.c_str()));
    FreeLibrary(loaded);
    EXPECT_TRUE(sys::delete_opened(file));
    sys::close_file(file);
    sys::close_folder(folder);

    // Paths kept for later are whole: relative ones start at the current folder.
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(m_root.c_str());
    std::u16string whole;
    EXPECT_TRUE(sys::full_path(u"x\\..\\y.", &whole));
    SetCurrentDirectoryW(current);
    EXPECT_TRUE(same_path(root + u"\\y", whole)) << std::string(whole.begin(), whole.end());
}

} // namespace
} // namespace nimbic
