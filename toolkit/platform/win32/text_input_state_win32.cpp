// The input method editor bridge: compositions become the window's text_input input.
#include "toolkit/platform/text_input_state.h"

#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/text_input_state_impl.h"

#include <imm.h>
#include <vector>

namespace zksdk::ui {

namespace {

constexpr uintptr_t input_started = 0;
constexpr uintptr_t input_changed = 1;
constexpr uintptr_t input_finished = 2;

constexpr uint16_t korean = 0x12;
constexpr int64_t key_backspace = 8;
constexpr int64_t key_enter = 13;
constexpr int64_t key_space = 32;
constexpr int64_t key_end = 35;
constexpr int64_t key_home = 36;
constexpr int64_t key_left = 37;
constexpr int64_t key_right = 39;

// The window's input context for the length of one operation; none while it is detached.
class input_context {
public:
    explicit input_context(HWND window) : m_window(window), m_context(ImmGetContext(window)) {}
    ~input_context()
    {
        if (m_context != nullptr) {
            ImmReleaseContext(m_window, m_context);
        }
    }
    input_context(const input_context&) = delete;
    input_context& operator=(const input_context&) = delete;

    HIMC get() const { return m_context; }

private:
    HWND m_window;
    HIMC m_context;
};

bool is_korean(uint16_t language)
{
    return (language & 0x3FF) == korean;
}

} // namespace

text_input_state::impl::impl(native_window& target) : window(target) {}

void text_input_state::impl::raise(uintptr_t what)
{
    if (native_window_client* client = window.backend().client) {
        client->route(event_type::text_input, reinterpret_cast<void*>(what), nullptr);
    }
}

void text_input_state::impl::on_language_changed()
{
    const HKL layout = GetKeyboardLayout(0);
    language = LOWORD(reinterpret_cast<uintptr_t>(layout));
    if (!composing) {
        return;
    }
    input_context context(window.backend().handle);
    if (context.get() != nullptr) {
        ImmNotifyIME(context.get(), NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
    }
}

void text_input_state::impl::on_key_down_while_composing()
{
    last_key = ImmGetVirtualKey(window.backend().handle);
    last_key_char =
        static_cast<uint8_t>(MapVirtualKeyW(static_cast<UINT>(last_key), MAPVK_VK_TO_CHAR));
}

void text_input_state::impl::on_start_composition()
{
    if (composing) {
        return;
    }
    CreateCaret(window.backend().handle, nullptr, 1, 1);
    place_candidates();
    composing = true;
    raise(input_started);
}

void text_input_state::impl::on_composition(LPARAM flags)
{
    const auto length = static_cast<int32_t>(composition.size());
    // Typing on after a converted clause commits it and starts the next composition.
    if (converted && cursor == length && last_key_char != 0 && last_key != key_backspace &&
        last_key != key_enter && last_key != key_space) {
        raise(input_finished);
        raise(input_started);
    }
    converted = false;
    if (is_korean(language) && (flags & GCS_RESULTSTR) != 0 && last_key_char != 0) {
        raise(input_started);
    }
    if (read(flags, GCS_COMPSTR)) {
        raise(input_changed);
    }
}

void text_input_state::impl::on_end_composition()
{
    if (!composing) {
        return;
    }
    if (read(0, GCS_RESULTSTR)) {
        raise(input_finished);
    }
    DestroyCaret();
    composing = false;
}

void text_input_state::impl::place_candidates()
{
    input_context context(window.backend().handle);
    if (context.get() == nullptr) {
        return;
    }
    CANDIDATEFORM form{};
    form.dwIndex = 0;
    form.dwStyle = CFS_EXCLUDE;
    form.ptCurrentPos = {caret.x, caret.y};
    form.rcArea = {caret.x, caret.y, caret.x + caret.width, caret.y + caret.height};
    ImmSetCandidateWindow(context.get(), &form);
}

bool text_input_state::impl::read(LPARAM flags, DWORD which)
{
    if ((flags & which) == 0 && which != GCS_RESULTSTR) {
        return false;
    }
    input_context context(window.backend().handle);
    if (context.get() == nullptr) {
        return false;
    }
    const LONG bytes = ImmGetCompositionStringW(context.get(), which, nullptr, 0);
    composition.assign(bytes > 0 ? static_cast<size_t>(bytes) / sizeof(char16_t) : 0, u'\0');
    if (bytes > 0) {
        ImmGetCompositionStringW(context.get(), which, composition.data(),
                                 static_cast<DWORD>(bytes));
    }
    const auto length = static_cast<int32_t>(composition.size());
    if ((flags & GCS_COMPATTR) != 0 && which != GCS_RESULTSTR) {
        const LONG count = ImmGetCompositionStringW(context.get(), GCS_COMPATTR, nullptr, 0);
        std::vector<uint8_t> attributes(count > 0 ? static_cast<size_t>(count) : 0);
        if (count > 0) {
            ImmGetCompositionStringW(context.get(), GCS_COMPATTR, attributes.data(),
                                     static_cast<DWORD>(count));
        }
        converted = false;
        for (uint8_t attribute : attributes) {
            converted = converted || attribute == ATTR_TARGET_CONVERTED;
        }
    } else {
        converted = false;
        if (which == GCS_RESULTSTR) {
            cursor = length;
            return true;
        }
    }
    if (is_korean(language)) {
        cursor = length;
    } else if (converted) {
        if (last_key == key_end || last_key == key_home) {
            cursor = length;
        } else if (last_key == key_left && cursor > 0) {
            --cursor;
        } else if (last_key == key_right && cursor < length) {
            ++cursor;
        }
    } else {
        cursor = ImmGetCompositionStringW(context.get(), GCS_CURSORPOS, nullptr, 0);
    }
    return true;
}

text_input_state::text_input_state(native_window& window) : m_impl(std::make_unique<impl>(window))
{
    window.backend().text_input = this;
    const HKL layout = GetKeyboardLayout(0);
    m_impl->language = LOWORD(reinterpret_cast<uintptr_t>(layout));
    // Not whether the layout is an IME's: nothing here depends on it, and under Wine the
    // question loads the IME, a tenth of a second before the first frame.
    // No control composes text: nothing should compose until a context is attached again.
    if (window.backend().handle != nullptr) {
        ImmAssociateContext(window.backend().handle, nullptr);
    }
}

text_input_state::~text_input_state()
{
    native_window::impl& record = m_impl->window.backend();
    if (record.text_input == this) {
        record.text_input = nullptr;
    }
}

bool text_input_state::is_composing() const
{
    return m_impl->composing;
}

const std::u16string& text_input_state::composition() const
{
    return m_impl->composition;
}

int32_t text_input_state::cursor() const
{
    return m_impl->cursor;
}

void text_input_state::set_caret_rect(rect caret)
{
    m_impl->caret = caret;
    if (m_impl->composing) {
        m_impl->place_candidates();
    }
}

rect text_input_state::caret_rect() const
{
    return m_impl->caret;
}

} // namespace zksdk::ui
