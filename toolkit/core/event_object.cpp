// Destroying an event object cuts its connections before its storage goes.
#include "toolkit/core/event_object.h"

#include "toolkit/core/event_dispatcher.h"

namespace zksdk::ui {

event_object::~event_object()
{
    event_dispatcher::instance().disconnect_all(this);
}

} // namespace zksdk::ui
