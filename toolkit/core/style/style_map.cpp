// The style map's inserts, replacements and lookups.
#include "toolkit/core/style/style_map.h"

#include <utility>

namespace zksdk::ui {

bool style_map::insert(const style_key& key, style_bytes value)
{
    return m_values.try_emplace(key, std::move(value)).second;
}

void style_map::set_bytes(const style_key& key, style_bytes value)
{
    m_values.insert_or_assign(key, std::move(value));
}

void style_map::set(const style_key& key, style_int_pair value)
{
    set_bytes(key, encode_style_value(value));
}

void style_map::set(const style_key& key, style_int_quad value)
{
    set_bytes(key, encode_style_value(value));
}

void style_map::set(const style_key& key, std::string_view value)
{
    set_bytes(key, encode_style_value(value));
}

void style_map::set(const style_key& key, const style_image& value)
{
    set_bytes(key, encode_style_value(value));
}

const style_bytes* style_map::find(const style_key& key) const
{
    const auto found = m_values.find(key);
    return found == m_values.end() ? nullptr : &found->second;
}

} // namespace zksdk::ui
