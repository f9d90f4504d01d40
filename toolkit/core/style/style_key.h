// The name of a style value, hashed once where the key is written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zksdk::ui {

// A style key made from a string literal. The hash is FNV-1a 64 over the name and its
// terminating zero, computed at compile time; keys are equal when their hashes are, so no lookup
// ever hashes or compares a name. The name only travels with style_changed, for reporting.
struct style_key {
    uint64_t hash = 0;
    const char* name = "";
    uint64_t length = 0;

    template <size_t N>
    consteval style_key(const char (&text)[N]) : hash(fnv1a(text)), name(text), length(N)
    {
    }

    bool operator==(const style_key& other) const { return hash == other.hash; }

private:
    template <size_t N> static consteval uint64_t fnv1a(const char (&text)[N])
    {
        uint64_t hash = 0xcbf29ce484222325ull;
        for (size_t i = 0; i < N; ++i) {
            hash ^= static_cast<uint8_t>(text[i]);
            hash *= 0x100000001b3ull;
        }
        return hash;
    }
};

// Keys a std::unordered_map by the precomputed hash.
struct style_key_hash {
    size_t operator()(const style_key& key) const noexcept { return static_cast<size_t>(key.hash); }
};

static_assert(style_key("float_margins").hash == 0x4e6d668e0db3b363ull);
static_assert(style_key("float_margins").length == 14);

} // namespace zksdk::ui
