// A widget's (or window's) own style values and redirects, read through the theme and defaults.
#pragma once

#include "toolkit/core/style/style_map.h"

#include <span>
#include <unordered_map>

namespace zksdk::ui {

class event_object;

// Owned by its widget or window, which it notifies with style_changed. A lookup takes one
// redirect step, then tries the own entries, the application theme and the built-in defaults.
class style_table {
public:
    explicit style_table(event_object* owner = nullptr) : m_owner(owner) {}

    void set_owner(event_object* owner) { m_owner = owner; }
    event_object* owner() const { return m_owner; }

    // Empty when no layer holds the (redirected) key. Valid until that layer changes.
    std::span<const uint8_t> find(const style_key& key) const;

    color read_color(const style_key& key) const { return decode_style_color(find(key)); }
    float read_float(const style_key& key) const { return decode_style_float(find(key)); }
    int32_t read_int(const style_key& key) const { return decode_style_int(find(key)); }
    bool read_bool(const style_key& key) const { return decode_style_bool(find(key)); }
    style_int_pair read_int_pair(const style_key& key) const;
    style_int_quad read_int_quad(const style_key& key) const;
    std::string_view read_string(const style_key& key) const;
    style_image read_image(const style_key& key) const { return decode_style_image(find(key)); }

    // Each set stores an own entry and raises style_changed, even when the bytes are unchanged.
    void set(const style_key& key, bool value) { store(key, encode_style_value(value)); }
    void set(const style_key& key, int32_t value) { store(key, encode_style_value(value)); }
    void set(const style_key& key, float value) { store(key, encode_style_value(value)); }
    void set(const style_key& key, color value) { store(key, encode_style_value(value)); }
    void set(const style_key& key, style_int_pair value);
    void set(const style_key& key, style_int_quad value);
    void set(const style_key& key, std::string_view value);
    // Without it a literal would convert to bool before it converted to a string_view.
    void set(const style_key& key, const char* value) { set(key, std::string_view(value)); }
    void set(const style_key& key, const style_image& value);

    // From now on key reads target's layers instead of its own; announced only when it changes.
    void redirect(const style_key& key, const style_key& target);

private:
    void store(const style_key& key, style_bytes value);
    void announce(const style_key& key) const;

    event_object* m_owner = nullptr;
    style_map m_entries;
    std::unordered_map<style_key, style_key, style_key_hash> m_redirects;
};

} // namespace zksdk::ui
