// Files dragged from the shell: the OLE drop target that hands them to the shared drop target.
#include "toolkit/platform/native_drop_target.h"

#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/ole_drop_target.h"

#include <algorithm>
#include <shellapi.h>

namespace zksdk::ui {

namespace {

std::vector<std::u16string> dropped_files(HDROP drop)
{
    std::vector<std::u16string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::u16string path(length + 1, u'\0');
        DragQueryFileW(drop, i, reinterpret_cast<wchar_t*>(path.data()), length + 1);
        path.resize(length);
        // Unreadable attributes come back with every bit set, so such a path is skipped too.
        const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()));
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            continue;
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

} // namespace

namespace win32 {

ole_drop_target::ole_drop_target(native_window& owner, HRESULT ole_result)
    : m_ole_result(ole_result), m_decisions(owner)
{
}

// Only the two interfaces of a drop target; anything else is E_FAIL, as OLE's callers expect
// no more than a failure here.
HRESULT ole_drop_target::QueryInterface(REFIID id, void** object)
{
    if (object == nullptr) {
        return E_FAIL;
    }
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_FAIL;
}

ULONG ole_drop_target::AddRef()
{
    return static_cast<ULONG>(++m_references);
}

ULONG ole_drop_target::Release()
{
    const LONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return static_cast<ULONG>(remaining);
}

HRESULT ole_drop_target::DragEnter(IDataObject*, DWORD, POINTL, DWORD*)
{
    return S_OK;
}

// The point argument is not used: the window finds the widget under the cursor itself.
HRESULT ole_drop_target::DragOver(DWORD, POINTL, DWORD* effect)
{
    drop_effect decision = drop_effect::none;
    // The widgets' handlers run inside OLE's drag loop: what they throw waits for the message
    // loop, as it does from the window procedure, and the drag is refused.
    try {
        decision = m_detached ? drop_effect::none : m_decisions.drag_over();
    } catch (...) {
        keep_failure();
    }
    if (effect != nullptr) {
        *effect = decision == drop_effect::move ? DROPEFFECT_MOVE : DROPEFFECT_NONE;
    }
    return S_OK;
}

HRESULT ole_drop_target::DragLeave()
{
    try {
        if (!m_detached) {
            m_decisions.drag_leave();
        }
    } catch (...) {
        keep_failure();
    }
    return S_OK;
}

// The source learns what became of its data from the effect Drop leaves: one that still holds
// the move it offered lets a shell source delete the user's files, though we only read their
// paths. So the answer is a copy, or nothing when the drop failed.
HRESULT ole_drop_target::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    const auto answer = [effect](DWORD done) {
        if (effect != nullptr) {
            *effect = done;
        }
    };
    answer(DROPEFFECT_NONE);
    if (data == nullptr) {
        return E_FAIL;
    }
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) {
        return E_FAIL;
    }
    try {
        std::vector<std::u16string> paths;
        {
            const struct released {
                STGMEDIUM& held;
                ~released() { ReleaseStgMedium(&held); }
            } release{medium};
            paths = dropped_files(static_cast<HDROP>(medium.hGlobal));
        }
        if (!m_detached) {
            m_decisions.drop(std::move(paths));
        }
    } catch (...) {
        keep_failure();
        return E_UNEXPECTED;
    }
    answer(m_detached ? DROPEFFECT_NONE : DROPEFFECT_COPY);
    return S_OK;
}

} // namespace win32
} // namespace zksdk::ui
