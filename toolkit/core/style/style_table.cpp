// Lookup through the style layers, and the writes that announce themselves to the owner.
#include "toolkit/core/style/style_table.h"

#include "toolkit/core/event_dispatcher.h"
#include "toolkit/core/style/application_theme.h"
#include "toolkit/core/style/builtin_defaults.h"

#include <utility>

namespace zksdk::ui {

std::span<const uint8_t> style_table::find(const style_key& key) const
{
    // One step only: a redirect's target is looked up as it is, even if it is redirected too.
    const auto redirected = m_redirects.find(key);
    const style_key& target = redirected == m_redirects.end() ? key : redirected->second;

    if (const style_bytes* own = m_entries.find(target))
        return *own;
    if (const style_bytes* themed = application_theme().find(target))
        return *themed;
    if (const style_bytes* builtin = builtin_defaults().find(target))
        return *builtin;
    return {};
}

style_int_pair style_table::read_int_pair(const style_key& key) const
{
    return decode_style_int_pair(find(key));
}

style_int_quad style_table::read_int_quad(const style_key& key) const
{
    return decode_style_int_quad(find(key));
}

std::string_view style_table::read_string(const style_key& key) const
{
    return decode_style_string(find(key));
}

void style_table::set(const style_key& key, style_int_pair value)
{
    store(key, encode_style_value(value));
}

void style_table::set(const style_key& key, style_int_quad value)
{
    store(key, encode_style_value(value));
}

void style_table::set(const style_key& key, std::string_view value)
{
    store(key, encode_style_value(value));
}

void style_table::set(const style_key& key, const style_image& value)
{
    store(key, encode_style_value(value));
}

void style_table::redirect(const style_key& key, const style_key& target)
{
    const auto [slot, added] = m_redirects.try_emplace(key, target);
    if (!added) {
        if (slot->second == target)
            return;
        slot->second = target;
    }
    announce(key);
}

void style_table::store(const style_key& key, style_bytes value)
{
    m_entries.set_bytes(key, std::move(value));
    announce(key);
}

void style_table::announce(const style_key& key) const
{
    if (!m_owner)
        return;
    // The key is only borrowed for the emission; receivers compare it, never keep or change it.
    event_dispatcher::instance().emit(m_owner, event_type::style_changed, 2, 1,
                                      const_cast<style_key*>(&key));
}

} // namespace zksdk::ui
