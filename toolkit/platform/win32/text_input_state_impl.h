// The Windows input-method state, driven by the window procedure and the message loop.
#pragma once

#include "toolkit/platform/text_input_state.h"

#include <windows.h>

namespace zksdk::ui {

struct text_input_state::impl {
    explicit impl(native_window& target);

    void on_language_changed();
    void on_key_down_while_composing();
    void on_start_composition();
    void on_composition(LPARAM flags);
    void on_end_composition();
    void place_candidates();
    // Reads the composition (GCS_COMPSTR) or the result (GCS_RESULTSTR) into `composition`.
    bool read(LPARAM flags, DWORD which);
    void raise(uintptr_t what);

    native_window& window;
    std::u16string composition;
    bool composing = false;
    bool converted = false;
    uint16_t language = 0;
    rect caret;
    int64_t last_key = 0;
    uint8_t last_key_char = 0;
    int32_t cursor = 0;
};

} // namespace zksdk::ui
