// NimbicSetup.exe as Windows reads it, under Wine: the version information says what the wizard
// says, and the first icon group carries the icon in every size the shell asks for.
#include "installer/product.h"
#include "installer/rights_notice.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace nimbic {
namespace {

const wchar_t setup_exe[] = L"" NIMBIC_SETUP_EXE;

std::string Utf8(const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length > 0 ? length - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
    return result;
}

class VersionInformation {
public:
    VersionInformation()
    {
        DWORD ignored = 0;
        m_block.resize(GetFileVersionInfoSizeW(setup_exe, &ignored));
        m_read =
            !m_block.empty() &&
            GetFileVersionInfoW(setup_exe, 0, static_cast<DWORD>(m_block.size()), m_block.data());
    }

    bool read() const { return m_read; }

    const void* value(const std::wstring& path, UINT* length) const
    {
        void* found = nullptr;
        return VerQueryValueW(m_block.data(), path.c_str(), &found, length) ? found : nullptr;
    }

    std::string text(const wchar_t* name) const
    {
        UINT length = 0;
        const void* found = value(std::wstring(L"\\StringFileInfo\\040904B0\\") + name, &length);
        return found ? Utf8(static_cast<const wchar_t*>(found)) : "<missing>";
    }

private:
    std::vector<char> m_block;
    bool m_read = false;
};

TEST(ShippedIdentity, VersionInformationSaysWhatTheWizardSays)
{
    const VersionInformation info;
    ASSERT_TRUE(info.read()) << "no version information in " << Utf8(setup_exe);

    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(info.value(L"\\", &length));
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(0, 5), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

    const auto* language =
        static_cast<const WORD*>(info.value(L"\\VarFileInfo\\Translation", &length));
    ASSERT_NE(nullptr, language);
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x409, language[0]);
    EXPECT_EQ(1200, language[1]);

    std::string version(product::version);
    version.erase(version.find_last_not_of(' ') + 1);
    EXPECT_EQ("1.0.5", version);
    EXPECT_EQ(product::maker, info.text(L"CompanyName"));
    EXPECT_EQ(product::window_title, info.text(L"FileDescription"));
    EXPECT_EQ(product::name, info.text(L"ProductName"));
    EXPECT_EQ(version, info.text(L"FileVersion"));
    EXPECT_EQ(version, info.text(L"ProductVersion"));
    EXPECT_EQ("NimbicSetup.exe", info.text(L"OriginalFilename"));
    EXPECT_EQ(RightsNotice(NIMBIC_NOTICE_YEAR), info.text(L"LegalCopyright"));
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bits;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

BOOL CALLBACK KeepFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first)
{
    *reinterpret_cast<LPWSTR*>(first) = name;
    return FALSE;
}

std::pair<const BYTE*, DWORD> Resource(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr)
        return {nullptr, 0};
    return {static_cast<const BYTE*>(LockResource(LoadResource(module, found))),
            SizeofResource(module, found)};
}

TEST(ShippedIdentity, FirstIconGroupHoldsTheIconInFiveSizes)
{
    HMODULE module = LoadLibraryExW(setup_exe, nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, module);
    LPWSTR first = nullptr;
    EnumResourceNamesW(module, RT_GROUP_ICON, KeepFirstName, reinterpret_cast<LONG_PTR>(&first));
    ASSERT_NE(nullptr, first) << "no icon group";

    const auto [group, group_size] = Resource(module, first, RT_GROUP_ICON);
    ASSERT_NE(nullptr, group);
    const WORD count = reinterpret_cast<const WORD*>(group)[2];
    ASSERT_EQ(5, count);
    ASSERT_EQ(6 + count * sizeof(IconGroupEntry), group_size);
    const auto* entries = reinterpret_cast<const IconGroupEntry*>(group + 6);
    const int sizes[] = {16, 24, 32, 48, 256};
    for (int i = 0; i < count; ++i) {
        const int size = sizes[i];
        SCOPED_TRACE(size);
        EXPECT_EQ(size % 256, entries[i].width);
        EXPECT_EQ(32, entries[i].bits);
        const auto [image, image_size] = Resource(module, MAKEINTRESOURCEW(entries[i].id), RT_ICON);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(entries[i].bytes, image_size);
        // The large image is PNG; the small ones are bitmaps that every version of Windows reads.
        if (size == 256) {
            EXPECT_EQ(0, memcmp(image, "\x89PNG\r\n\x1a\n", 8));
        } else {
            const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image);
            EXPECT_EQ(40u, header->biSize);
            EXPECT_EQ(size, header->biWidth);
            EXPECT_EQ(2 * size, header->biHeight);
        }
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), image_size, TRUE,
                                              0x00030000, size, size, LR_DEFAULTCOLOR);
        EXPECT_NE(nullptr, icon);
        if (icon != nullptr)
            DestroyIcon(icon);
    }
    FreeLibrary(module);
}

} // namespace
} // namespace nimbic
