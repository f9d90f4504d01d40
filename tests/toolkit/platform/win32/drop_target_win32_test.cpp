// The OLE drop target of a real native window: its interfaces, its welcome and the dropped paths.
#include "toolkit/platform/native_window.h"

#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/ole_drop_target.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <cstring>
#include <filesystem>
#include <shlobj.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace zksdk::ui {
namespace {

struct drop_call {
    uintptr_t extra = 0;
    std::vector<std::u16string> paths;
    bool has_data = false;
};

class drop_client : public native_window_client {
public:
    std::vector<drop_call> drops;
    bool welcome = false;
    bool throws = false;

    void route(event_type code, void* data, const void* extra) override
    {
        if (code != event_type::file_drop) {
            return;
        }
        if (throws) {
            throw std::runtime_error("handler failed");
        }
        drop_call made{reinterpret_cast<uintptr_t>(extra), {}, data != nullptr};
        if (data != nullptr) {
            made.paths = *static_cast<std::vector<std::u16string>*>(data);
        }
        drops.push_back(made);
    }
    void paint_native(rect) override {}
    void native_timer(uint32_t) override {}
    bool request_close() override { return false; }
    void native_resized(size) override {}
    bool has_pointer_handlers(event_type code) override
    {
        return code == event_type::file_drop && welcome;
    }
    void user_message(intptr_t, uintptr_t) override {}
};

// A data object that offers the files the way the shell does, or nothing at all.
class file_list final : public IDataObject {
public:
    explicit file_list(std::vector<std::wstring> paths, bool offers_files = true)
        : m_paths(std::move(paths)), m_offers_files(offers_files)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!m_offers_files || format->cfFormat != CF_HDROP ||
            (format->tymed & TYMED_HGLOBAL) == 0) {
            return DV_E_FORMATETC;
        }
        std::wstring names;
        for (const std::wstring& path : m_paths) {
            names += path;
            names.push_back(L'\0');
        }
        names.push_back(L'\0');
        const size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = TRUE;
        std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::vector<std::wstring> m_paths;
    bool m_offers_files;
};

class DropTargetWin32 : public testing::Test {
protected:
    void SetUp() override
    {
        window.create_native(nullptr, client, {0, 0, 200, 100}, 0);
        ASSERT_TRUE(window.is_created());
        target = window.backend().drop_target;
        m_folder = std::filesystem::temp_directory_path() / "nimbic_drop_test";
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder / "folder");
        CloseHandle(CreateFileW((m_folder / "a.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::wstring in_folder(const wchar_t* name, wchar_t separator) const
    {
        std::wstring path = (m_folder / name).wstring();
        for (wchar_t& c : path) {
            c = c == L'\\' || c == L'/' ? separator : c;
        }
        return path;
    }

    drop_client client;
    native_window window;
    win32::ole_drop_target* target = nullptr;
    std::filesystem::path m_folder;
};

TEST_F(DropTargetWin32, AnswersOnlyForItsTwoInterfacesAndIsRegistered)
{
    void* found = nullptr;
    ASSERT_EQ(S_OK, target->QueryInterface(IID_IUnknown, &found));
    EXPECT_EQ(static_cast<IDropTarget*>(target), found);
    target->Release();
    ASSERT_EQ(S_OK, target->QueryInterface(IID_IDropTarget, &found));
    EXPECT_EQ(static_cast<IDropTarget*>(target), found);
    target->Release();
    EXPECT_EQ(E_FAIL, target->QueryInterface(IID_IDataObject, &found));
    EXPECT_EQ(nullptr, found);
    EXPECT_EQ(E_FAIL, target->QueryInterface(IID_IDropTarget, nullptr));

    const ULONG count = target->AddRef();
    EXPECT_EQ(count - 1, target->Release());
    EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(window.backend().handle, target));
}

TEST_F(DropTargetWin32, DraggingOverIsWelcomeOnlyWhereSomeoneListens)
{
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    file_list files({});
    EXPECT_EQ(S_OK, target->DragEnter(&files, 0, {0, 0}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE), effect) << "enter keeps the proposal";
    EXPECT_EQ(S_OK, target->DragOver(0, {0, 0}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect);
    client.welcome = true;
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(S_OK, target->DragOver(0, {0, 0}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_MOVE), effect);
    EXPECT_EQ(S_OK, target->DragLeave());
    ASSERT_EQ(2u, client.drops.size());
    EXPECT_EQ(2u, client.drops[0].extra);
    EXPECT_EQ(1u, client.drops[1].extra);
    EXPECT_FALSE(client.drops[1].has_data);
}

TEST_F(DropTargetWin32, DropDeliversFilePathsWithBackslashesAndWithoutFolders)
{
    file_list files({in_folder(L"a.txt", L'/'), in_folder(L"folder", L'\\'),
                     in_folder(L"missing.txt", L'\\'), in_folder(L"a.txt", L'\\')});
    // The source offered a move: the answer is a copy, so it never deletes what it dragged.
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, target->Drop(&files, 0, {0, 0}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    ASSERT_EQ(1u, client.drops.size());
    EXPECT_EQ(0u, client.drops[0].extra);
    const std::wstring expected = in_folder(L"a.txt", L'\\');
    const std::u16string wanted(expected.begin(), expected.end());
    EXPECT_EQ((std::vector<std::u16string>{wanted, wanted}), client.drops[0].paths);

    file_list folders_only({in_folder(L"folder", L'\\')});
    EXPECT_EQ(S_OK, target->Drop(&folders_only, 0, {0, 0}, &effect));
    ASSERT_EQ(2u, client.drops.size());
    EXPECT_TRUE(client.drops[1].has_data);
    EXPECT_TRUE(client.drops[1].paths.empty());

    file_list no_files({in_folder(L"a.txt", L'\\')}, false);
    effect = DROPEFFECT_MOVE;
    EXPECT_EQ(E_FAIL, target->Drop(&no_files, 0, {0, 0}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect);
    EXPECT_EQ(2u, client.drops.size()) << "nothing is raised when the data has no files";
}

// A handler that throws inside OLE's drag loop: nothing crosses OLE's frames, the drag is
// refused, and the first failure is thrown on from the message loop, once.
TEST_F(DropTargetWin32, AHandlersFailureWaitsForTheMessageLoop)
{
    client.welcome = true;
    client.throws = true;
    DWORD effect = DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, target->DragOver(0, {0, 0}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect);
    EXPECT_EQ(S_OK, target->DragLeave());
    file_list files({in_folder(L"a.txt", L'\\')});
    effect = DROPEFFECT_MOVE;
    EXPECT_EQ(E_UNEXPECTED, target->Drop(&files, 0, {0, 0}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect);
    EXPECT_THROW(win32::rethrow_kept_failure(), std::runtime_error);
    EXPECT_NO_THROW(win32::rethrow_kept_failure());
    EXPECT_TRUE(client.drops.empty());
}

} // namespace
} // namespace zksdk::ui
