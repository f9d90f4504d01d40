// The folder picker: the system's File Open dialog in folder mode, modal to a toolkit window.
#include "toolkit/platform/native_services.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/win32/native_window_impl.h"

#include <algorithm>
#include <shobjidl.h>

namespace zksdk::ui {

namespace {

// Releases a COM interface when the picker leaves, whichever way it leaves.
template <typename Interface> class com_ref {
public:
    com_ref() = default;
    ~com_ref()
    {
        if (m_pointer != nullptr) {
            m_pointer->Release();
        }
    }
    com_ref(const com_ref&) = delete;
    com_ref& operator=(const com_ref&) = delete;

    Interface* operator->() const { return m_pointer; }
    Interface* get() const { return m_pointer; }
    Interface** put() { return &m_pointer; }
    void** put_void() { return reinterpret_cast<void**>(&m_pointer); }

private:
    Interface* m_pointer = nullptr;
};

// Frees a string the shell allocated.
class shell_string {
public:
    shell_string() = default;
    ~shell_string() { CoTaskMemFree(m_text); }
    shell_string(const shell_string&) = delete;
    shell_string& operator=(const shell_string&) = delete;

    PWSTR* put() { return &m_text; }
    const wchar_t* get() const { return m_text; }

private:
    PWSTR m_text = nullptr;
};

void open_at(IFileOpenDialog& dialog, std::u16string_view start_folder)
{
    if (start_folder.empty()) {
        return;
    }
    const std::u16string path(start_folder);
    com_ref<IShellItem> folder;
    // A folder that cannot be parsed (one that does not exist) leaves the dialog's own choice.
    if (SUCCEEDED(SHCreateItemFromParsingName(reinterpret_cast<const wchar_t*>(path.c_str()),
                                              nullptr, IID_IShellItem, folder.put_void()))) {
        dialog.SetFolder(folder.get());
    }
}

} // namespace

std::u16string pick_folder(const native_window* owner, std::string_view title,
                           std::u16string_view start_folder)
{
    // The dialog belongs in a single-threaded apartment of the calling thread's own. A thread
    // that has none is in the process's implicit multithreaded one whenever another thread
    // joined that: the dialog would be made there, outside any apartment its loop serves.
    APTTYPE apartment{};
    APTTYPEQUALIFIER qualifier{};
    const bool single_threaded = SUCCEEDED(CoGetApartmentType(&apartment, &qualifier)) &&
                                 (apartment == APTTYPE_STA || apartment == APTTYPE_MAINSTA);
    com_ref<IFileOpenDialog> dialog;
    if (!single_threaded ||
        FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, dialog.put_void()))) {
        throw zk_exception("unable to create the folder \"select\" dialog box");
    }
    FILEOPENDIALOGOPTIONS options = 0;
    const std::u16string caption = utf8_to_utf16(title);
    const bool set_up =
        SUCCEEDED(dialog->GetOptions(&options)) &&
        SUCCEEDED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM)) &&
        SUCCEEDED(dialog->SetTitle(reinterpret_cast<const wchar_t*>(caption.c_str())));
    if (!set_up) {
        throw zk_exception("unable to setup the folder \"select\" dialog box");
    }
    open_at(*dialog.get(), start_folder);

    const HRESULT shown = dialog->Show(owner != nullptr ? owner->backend().handle : nullptr);
    // The dialog's own loop dispatched our windows' messages; what failed there goes on now.
    win32::rethrow_kept_failure();
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        return {};
    }
    if (FAILED(shown)) {
        throw zk_exception("unable to display the folder \"select\" dialog box");
    }
    com_ref<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.put()))) {
        throw zk_exception(
            "unable to retrieve the selection from the folder \"select\" dialog box");
    }
    shell_string path;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, path.put()))) {
        throw zk_exception("unable to retrieve a result from the folder \"select\" dialog box");
    }
    std::u16string result(reinterpret_cast<const char16_t*>(path.get()));
    std::replace(result.begin(), result.end(), u'/', u'\\');
    return result;
}

} // namespace zksdk::ui
