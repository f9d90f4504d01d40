// The folder picker against Wine's File Open dialog, driven by a timer inside its modal loop.
#include "toolkit/platform/native_services.h"

#include "toolkit/core/window/window.h"
#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/native_window.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <stdexcept>
#include <string>
#include <thread>

namespace zksdk::ui {
namespace {

// The dialog's answer, given from a thread timer that fires inside the dialog's own loop.
UINT dialog_command = IDCANCEL;
const wchar_t* typed_folder = nullptr;
int dialog_attempts = 0;
// While set, the dialog is left open: its loop must first dispatch the owner's message. The
// dialog can take longer to open than the answer's timer, and an answer already due would
// otherwise close it before the owner's timer is ever retrieved.
bool hold_answer = false;

BOOL CALLBACK type_into_edit(HWND child, LPARAM)
{
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (std::wstring(name) != L"Edit") {
        return TRUE;
    }
    SetWindowTextW(child, typed_folder);
    return FALSE;
}

BOOL CALLBACK press_on_dialog(HWND window, LPARAM)
{
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (std::wstring(title) != L"Picker Test" || !IsWindowVisible(window)) {
        return TRUE;
    }
    // Whatever the dialog makes of the answer, it is cancelled in the end rather than left open.
    const bool give_up = ++dialog_attempts > 25;
    if (hold_answer && !give_up) {
        return FALSE;
    }
    if (typed_folder != nullptr && !give_up) {
        EnumChildWindows(window, type_into_edit, 0);
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(give_up ? IDCANCEL : dialog_command, BN_CLICKED),
                 0);
    return FALSE;
}

void CALLBACK answer_dialog(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), press_on_dialog, 0);
}

class FolderPickerWin32 : public testing::Test {
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        dialog_attempts = 0;
        hold_answer = false;
        m_timer = SetTimer(nullptr, 0, 200, answer_dialog);
    }
    void TearDown() override
    {
        KillTimer(nullptr, m_timer);
        OleUninitialize();
    }

private:
    UINT_PTR m_timer = 0;
};

TEST_F(FolderPickerWin32, CancellingReturnsAnEmptyPath)
{
    dialog_command = IDCANCEL;
    typed_folder = nullptr;
    EXPECT_EQ(u"", pick_folder(nullptr, "Picker Test", u"C:\\windows"));
    EXPECT_EQ(u"", pick_folder(nullptr, "Picker Test", u"C:\\no\\such\\folder"))
        << "a start folder that does not exist still opens the dialog";
}

TEST_F(FolderPickerWin32, ChoosingReturnsTheFolderWithBackslashes)
{
    dialog_command = IDOK;
    typed_folder = L"C:\\windows\\system32";
    const std::u16string chosen = pick_folder(nullptr, "Picker Test", u"C:/windows");
    EXPECT_EQ(u"c:\\windows\\system32", [&] {
        std::u16string lower = chosen;
        for (char16_t& c : lower) {
            c = c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
        }
        return lower;
    }());
}

// The dialog's own loop dispatches its owner's messages: a failure in one is thrown as the
// dialog returns, before the caller could go on with the folder.
TEST_F(FolderPickerWin32, AFailureInTheOwnersMessagesIsThrownAsTheDialogReturns)
{
    dialog_command = IDCANCEL;
    typed_folder = nullptr;
    hold_answer = true;
    window owner;
    owner.create("Picker Owner", {0, 0, 300, 200}, 0);
    event_dispatcher::instance().connect(&owner, &owner, event_type::timer, [&](const event_info&) {
        owner.kill_timer(&owner, 1);
        hold_answer = false;
        throw std::runtime_error("unable to go on");
    });
    owner.set_timer(&owner, 1, 30, false);
    std::string caught;
    try {
        pick_folder(&owner.native(), "Picker Test", u"C:\\windows");
    } catch (const std::runtime_error& failure) {
        caught = failure.what();
    }
    EXPECT_EQ("unable to go on", caught);
}

TEST(FolderPickerWithoutCom, FailsToCreateTheDialogWithItsMessage)
{
    // A fresh thread has no apartment of its own, so the dialog is not made, even while another
    // thread's multithreaded apartment (a reader's, say) is the process's implicit one: the
    // dialog would be made there, and Show would wait on a loop nobody runs.
    for (const bool other_thread_in_mta : {false, true}) {
        HANDLE joined = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE leave = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread other([&] {
            if (other_thread_in_mta) {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            }
            SetEvent(joined);
            WaitForSingleObject(leave, INFINITE);
            if (other_thread_in_mta) {
                CoUninitialize();
            }
        });
        WaitForSingleObject(joined, INFINITE);
        std::string message;
        std::thread([&] {
            try {
                pick_folder(nullptr, "Picker Test", u"");
            } catch (const zk_exception& failure) {
                message = failure.what();
            }
        }).join();
        SetEvent(leave);
        other.join();
        CloseHandle(joined);
        CloseHandle(leave);
        EXPECT_EQ("unable to create the folder \"select\" dialog box", message)
            << (other_thread_in_mta ? "another thread in the multithreaded apartment" : "alone");
    }
}

} // namespace
} // namespace zksdk::ui
