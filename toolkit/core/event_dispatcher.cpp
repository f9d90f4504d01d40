// The dispatcher's three tables: callbacks by sender and type, connections by id, ids by receiver.
#include "toolkit/core/event_dispatcher.h"

#include <algorithm>

namespace zksdk::ui {

event_dispatcher& event_dispatcher::instance()
{
    static event_dispatcher dispatcher;
    return dispatcher;
}

connection_id event_dispatcher::connect(event_object* sender, event_object* receiver,
                                        event_type type, event_callback callback)
{
    const connection_id id = m_next_id++;
    m_by_sender[sender][type].push_back({id, std::move(callback)});
    m_by_id[id] = {sender, type};
    m_by_receiver[receiver].push_back(id);
    return id;
}

void event_dispatcher::disconnect(connection_id id)
{
    const auto found = m_by_id.find(id);
    if (found == m_by_id.end())
        return;
    const connection link = found->second;
    m_by_id.erase(found);

    const auto sender = m_by_sender.find(link.sender);
    if (sender == m_by_sender.end())
        return;
    const auto list = sender->second.find(link.type);
    if (list == sender->second.end())
        return;
    std::erase_if(list->second, [id](const slot& entry) { return entry.id == id; });
    if (list->second.empty())
        sender->second.erase(list);
    if (sender->second.empty())
        m_by_sender.erase(sender);
}

void event_dispatcher::disconnect_all(event_object* object)
{
    if (const auto receiver = m_by_receiver.find(object); receiver != m_by_receiver.end()) {
        // Take the sequence out first: a disconnect never adds to it, but keep the loop simple.
        const std::vector<connection_id> ids = std::move(receiver->second);
        m_by_receiver.erase(receiver);
        for (const connection_id id : ids)
            disconnect(id);
    }
    const auto sender = m_by_sender.find(object);
    if (sender == m_by_sender.end())
        return;
    for (const auto& [type, list] : sender->second) {
        for (const slot& entry : list)
            m_by_id.erase(entry.id);
    }
    m_by_sender.erase(sender);
}

bool event_dispatcher::emit(event_object* sender, event_type type, int32_t phase, int32_t detail,
                            void* data, uint64_t extra)
{
    const auto found = m_by_sender.find(sender);
    if (found == m_by_sender.end())
        return false;
    const auto list = found->second.find(type);
    if (list == found->second.end())
        return false;

    // Call copies: a callback may disconnect itself or others, connect more, or destroy the
    // sender, and none of that may disturb this loop.
    std::vector<event_callback> callbacks;
    callbacks.reserve(list->second.size());
    for (const slot& entry : list->second)
        callbacks.push_back(entry.callback);
    const event_info info{sender, static_cast<uint32_t>(type), phase, detail, data, extra};
    for (const event_callback& callback : callbacks)
        callback(info);
    return true;
}

bool event_dispatcher::has_handlers(event_object* sender, event_type type) const
{
    const auto found = m_by_sender.find(sender);
    return found != m_by_sender.end() && found->second.count(type) > 0;
}

} // namespace zksdk::ui
