// The base of everything that raises or receives events.
#pragma once

#include "toolkit/core/non_copyable_non_moveable.h"

namespace zksdk::ui {

// Lives at a fixed address; its destructor cuts every connection made with it as sender or
// receiver, so no callback outlives either end.
class event_object : public non_copyable_non_moveable {
public:
    event_object() = default;
    virtual ~event_object();
};

} // namespace zksdk::ui
