// A window's input-method state: the composition string and where its candidates go.
#pragma once

#include "toolkit/core/geometry.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zksdk::ui {

class native_window;

// Owned by its toolkit window (made by the window's create, destroyed before the native window);
// the native window reports compositions through it as the text_input input.
class text_input_state {
public:
    // Detaches the window's input-method context, so nothing composes until one is attached.
    explicit text_input_state(native_window& window);
    ~text_input_state();
    text_input_state(const text_input_state&) = delete;
    text_input_state& operator=(const text_input_state&) = delete;

    bool is_composing() const;
    // The composition, or after a finished composition its result.
    const std::u16string& composition() const;
    int32_t cursor() const; // UTF-16 units into the composition
    // Where the text cursor is, in window pixels; the candidate list stays clear of it.
    void set_caret_rect(rect caret);
    rect caret_rect() const;

    // The backend's own state; only the backend's sources know its layout.
    struct impl;
    impl& backend() const { return *m_impl; }

private:
    std::unique_ptr<impl> m_impl;
};

} // namespace zksdk::ui
