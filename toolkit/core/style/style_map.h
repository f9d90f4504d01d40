// One layer of style values: the application theme, the built-in defaults, a table's own entries.
#pragma once

#include "toolkit/core/style/style_key.h"
#include "toolkit/core/style/style_value.h"

#include <unordered_map>

namespace zksdk::ui {

// A hash map from key to value bytes, keyed by the precomputed hash. insert keeps a present value
// (so the first of several definitions wins); set replaces it. Owned by whoever builds the layer.
class style_map {
public:
    bool insert(const style_key& key, style_bytes value);
    void set_bytes(const style_key& key, style_bytes value);

    void set(const style_key& key, bool value) { set_bytes(key, encode_style_value(value)); }
    void set(const style_key& key, int32_t value) { set_bytes(key, encode_style_value(value)); }
    void set(const style_key& key, float value) { set_bytes(key, encode_style_value(value)); }
    void set(const style_key& key, color value) { set_bytes(key, encode_style_value(value)); }
    void set(const style_key& key, style_int_pair value);
    void set(const style_key& key, style_int_quad value);
    void set(const style_key& key, std::string_view value);
    // Without it a literal would convert to bool before it converted to a string_view.
    void set(const style_key& key, const char* value) { set(key, std::string_view(value)); }
    void set(const style_key& key, const style_image& value);

    // Null when the layer does not hold the key.
    const style_bytes* find(const style_key& key) const;
    bool contains(const style_key& key) const { return m_values.contains(key); }
    size_t size() const { return m_values.size(); }

    auto begin() const { return m_values.begin(); }
    auto end() const { return m_values.end(); }

private:
    std::unordered_map<style_key, style_bytes, style_key_hash> m_values;
};

} // namespace zksdk::ui
