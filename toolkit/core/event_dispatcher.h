// The process-wide table of event connections.
#pragma once

#include "toolkit/core/event_info.h"

#include <unordered_map>
#include <vector>

namespace zksdk::ui {

class event_object;

// One per process, on the user-interface thread only (no locks). Maps (sender, type) to the
// callbacks in connection order, and remembers each connection by id and by receiver.
class event_dispatcher {
public:
    static event_dispatcher& instance();

    connection_id connect(event_object* sender, event_object* receiver, event_type type,
                          event_callback callback);
    void disconnect(connection_id id);
    void disconnect_all(event_object* object);
    // Calls copies of the callbacks, so they may connect, disconnect, emit or destroy the
    // sender. True when any callback was connected.
    bool emit(event_object* sender, event_type type, int32_t phase = 2, int32_t detail = 1,
              void* data = nullptr, uint64_t extra = 0);
    bool has_handlers(event_object* sender, event_type type) const;

private:
    struct slot {
        connection_id id;
        event_callback callback;
    };
    using callback_list = std::vector<slot>;
    struct connection {
        event_object* sender;
        event_type type;
    };

    std::unordered_map<event_object*, std::unordered_map<event_type, callback_list>> m_by_sender;
    std::unordered_map<connection_id, connection> m_by_id;
    std::unordered_map<event_object*, std::vector<connection_id>> m_by_receiver;
    connection_id m_next_id = 0;
};

// Shorthands for the three ways a member function is bound as a callback.
template <class T> event_callback bind_event(T* object, void (T::*member)(const event_info&))
{
    return [object, member](const event_info& info) { (object->*member)(info); };
}

template <class T> event_callback bind_event(T* object, void (T::*member)())
{
    return [object, member](const event_info&) { (object->*member)(); };
}

template <class T> event_callback bind_event(T* object, void (T::*member)(bool), bool value)
{
    return [object, member, value](const event_info&) { (object->*member)(value); };
}

} // namespace zksdk::ui
