// The OLE drop target a native window registers for files dragged from the shell.
#pragma once

#include "toolkit/platform/native_drop_target.h"

#include <windows.h>
#include <atomic>
#include <ole2.h>

namespace zksdk::ui::win32 {

// Made by the native window record with one reference, which the record holds until it is
// destroyed; OLE adds its own while the target is registered. Turns the OLE calls into the
// decisions of native_drop_target.
class ole_drop_target final : public IDropTarget {
public:
    ole_drop_target(native_window& owner, HRESULT ole_result);
    ole_drop_target(const ole_drop_target&) = delete;
    ole_drop_target& operator=(const ole_drop_target&) = delete;

    HRESULT ole_result() const { return m_ole_result; }
    void set_window(HWND window) { m_window = window; }
    // The record is going: OLE calls that still arrive do nothing.
    void detach() { m_detached = true; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) override;

private:
    ~ole_drop_target() = default;

    HRESULT m_ole_result;
    native_drop_target m_decisions;
    HWND m_window = nullptr;
    std::atomic<LONG> m_references{1};
    bool m_detached = false;
};

} // namespace zksdk::ui::win32
