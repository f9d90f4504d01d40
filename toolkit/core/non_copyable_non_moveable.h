// A base for objects with an identity: the dispatcher keys its tables by their address.
#pragma once

namespace zksdk::ui {

class non_copyable_non_moveable {
public:
    non_copyable_non_moveable() = default;
    non_copyable_non_moveable(const non_copyable_non_moveable&) = delete;
    non_copyable_non_moveable& operator=(const non_copyable_non_moveable&) = delete;
    non_copyable_non_moveable(non_copyable_non_moveable&&) = delete;
    non_copyable_non_moveable& operator=(non_copyable_non_moveable&&) = delete;

protected:
    ~non_copyable_non_moveable() = default;
};

} // namespace zksdk::ui
