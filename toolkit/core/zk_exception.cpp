// zk_exception keeps its own copy of the message so it survives the caller's buffer.
#include "toolkit/core/zk_exception.h"

namespace zksdk::ui {

zk_exception::zk_exception(std::string_view message) : m_message(message) {}

const char* zk_exception::what() const noexcept
{
    return m_message.c_str();
}

} // namespace zksdk::ui
