// The headless input-method state: compositions come from the tests through the control header.
#include "toolkit/platform/text_input_state.h"

#include "toolkit/platform/headless/headless_internals.h"

namespace zksdk::ui {

text_input_state::text_input_state(native_window& window) : m_impl(std::make_unique<impl>(window))
{
    window.backend().text_input = this;
}

text_input_state::~text_input_state()
{
    if (headless::is_live(&m_impl->window) && m_impl->window.backend().text_input == this) {
        m_impl->window.backend().text_input = nullptr;
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
}

rect text_input_state::caret_rect() const
{
    return m_impl->caret;
}

} // namespace zksdk::ui
