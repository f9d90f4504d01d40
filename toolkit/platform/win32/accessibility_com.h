// The reference counting and interface lookup every accessibility object shares.
#pragma once

#include <windows.h>
#include <atomic>
#include <unknwn.h>

namespace zksdk::ui::win32 {

// A COM object implementing the interfaces given, born with one reference for its creator.
// The derived class names which interface answers an id (find), IUnknown included; the
// object deletes itself with its last reference, from whichever thread releases it.
template <typename... Interfaces> class com_object : public Interfaces... {
public:
    com_object() = default;
    com_object(const com_object&) = delete;
    com_object& operator=(const com_object&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = find(iid);
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    virtual ~com_object() = default;
    // The interface pointer that answers the id, or null.
    virtual void* find(REFIID iid) = 0;

private:
    std::atomic<ULONG> m_references{1};
};

} // namespace zksdk::ui::win32
