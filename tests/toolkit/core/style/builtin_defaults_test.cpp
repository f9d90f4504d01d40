// The built-in defaults: the key hash, the census of the list, the values the program reads and
// the embedded pictures behind the image records.
#include "toolkit/core/style/builtin_defaults.h"

#include "toolkit/core/style/style_table.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <string>

namespace zksdk::ui {
namespace {

TEST(StyleKey, HashIsFnv1aOverTheNameAndItsTerminator)
{
    constexpr style_key margins = "float_margins";
    EXPECT_EQ(0x4e6d668e0db3b363ull, margins.hash);
    EXPECT_EQ(14u, margins.length);
    EXPECT_EQ(0xaf63bd4c8601b7dfull, style_key("").hash);

    // Equal by hash alone: the same text in two literals is one key.
    static constexpr char copy[] = "float_margins";
    EXPECT_EQ(margins, style_key(copy));
    EXPECT_FALSE(margins == style_key("float_margin"));
}

TEST(StyleDefaults, CensusOfKindsStringsAndPictures)
{
    std::map<style_kind, int> kinds;
    std::map<std::string, int> strings;
    int pictures = 0;
    std::set<uint64_t> hashes;
    for (const builtin_definition& definition : builtin_definitions()) {
        ++kinds[definition.value.kind];
        hashes.insert(definition.key.hash);
        const style_bytes* value = builtin_defaults().find(definition.key);
        ASSERT_NE(nullptr, value) << definition.key.name;
        if (definition.value.kind == style_kind::string)
            ++strings[std::string(decode_style_string(*value))];
        if (definition.value.kind == style_kind::image && decode_style_image(*value).data)
            ++pictures;
    }
    EXPECT_EQ(530u, builtin_definitions().size());
    EXPECT_EQ(530u, hashes.size());
    EXPECT_EQ(530u, builtin_defaults().size());
    EXPECT_EQ(239, kinds[style_kind::color]);
    EXPECT_EQ(145, kinds[style_kind::float32] + kinds[style_kind::int32]);
    EXPECT_EQ(46, kinds[style_kind::boolean]);
    EXPECT_EQ(37, kinds[style_kind::int_pair]);
    EXPECT_EQ(5, kinds[style_kind::int_quad]);
    EXPECT_EQ(34, kinds[style_kind::image]);
    EXPECT_EQ(23, pictures);
    EXPECT_EQ(24, kinds[style_kind::string]);
    EXPECT_EQ((std::map<std::string, int>{{"Tahoma", 20}, {"Verdana", 3}, {",  ", 1}}), strings);
    EXPECT_EQ(",  ", style_table().read_string("editparam_float_divider"));
}

TEST(StyleDefaults, EveryValueHasTheSizeOfItsKind)
{
    const std::map<style_kind, size_t> sizes = {
        {style_kind::color, 16},  {style_kind::float32, 4},  {style_kind::int32, 4},
        {style_kind::boolean, 1}, {style_kind::int_pair, 8}, {style_kind::int_quad, 16},
        {style_kind::image, 24}};
    for (const builtin_definition& definition : builtin_definitions()) {
        if (definition.value.kind == style_kind::string)
            continue;
        EXPECT_EQ(sizes.at(definition.value.kind), builtin_defaults().find(definition.key)->size())
            << definition.key.name;
    }
}

// A kind mix-up (a float 11 stored where an int is read) renders, but wrongly; so the kinds of
// the keys the program reads are pinned here, and the values that differ from a plain zero.
TEST(StyleDefaults, KeysTheProgramReadsHaveTheirKindsAndValues)
{
    std::map<uint64_t, style_kind> kind_of;
    for (const builtin_definition& definition : builtin_definitions())
        kind_of.emplace(definition.key.hash, definition.value.kind);
    struct Group {
        style_kind kind;
        std::vector<style_key> keys;
    };
    const Group groups[] = {
        {style_kind::float32,
         {"default_border_width", "checkbox_font_size", "button_round_radius", "button_font_size",
          "tooltip_font_size", "tooltip_title_font_size", "label_font_size", "float_round_radius"}},
        {style_kind::int32,
         {"checkbox_font_style", "checkbox_font_weight", "checkbox_text_gap",
          "message_popup_component_margins", "button_font_style", "button_font_weight",
          "button_font_alignment", "button_font_vertical_alignment", "tooltip_font_style",
          "tooltip_font_weight", "tooltip_title_font_style", "tooltip_title_font_weight",
          "scroll_min_size", "scroll_speed_multiplier", "label_font_style", "label_font_weight",
          "label_text_align", "label_text_valign", "list_item_font_weight_selected"}},
        {style_kind::boolean,
         {"button_round_edges", "button_text_underlined", "button_text_clip", "button_image_strech",
          "button_auto_size", "button_reset_hover", "scroll_auto_hide", "label_text_underlined"}},
        {style_kind::int_pair,
         {"message_popup_window_margins", "button_text_margins", "button_auto_size_min_max",
          "float_margins"}},
        {style_kind::int_quad,
         {"button_image_filter_multiply_area", "dropdown_text_margins", "timeline_margins",
          "timeline_indicator_line_rect"}},
        {style_kind::string,
         {"checkbox_font_name", "button_font_name", "tooltip_font_name", "tooltip_title_font_name",
          "label_font_name"}},
        {style_kind::image,
         {"checkbox_image", "message_popup_image", "button_image", "button_back_image",
          "scroll_button_arrow_image", "multicontrol_lock_image", "node_port_output_image",
          "curve_editor_mark_control_image", "editparam_image_default_image"}},
    };
    for (const Group& group : groups)
        for (const style_key& key : group.keys)
            EXPECT_EQ(group.kind, kind_of[key.hash]) << key.name;

    const style_table table;
    EXPECT_EQ((color{0.255f, 0.584f, 0.753f, 1}), table.read_color("checkbox_border_color_focus"));
    EXPECT_EQ((color{0.173f, 0.176f, 0.192f, 1}), table.read_color("button_color_normal"));
    EXPECT_EQ((color{0.188f, 0.29f, 0.506f, 1}), table.read_color("button_color_toggle"));
    EXPECT_EQ((color{0.655f, 0.655f, 0.655f, 1}), table.read_color("tooltip_font_color"));
    EXPECT_EQ((color{0.353f, 0.557f, 0.204f, 0.2f}),
              table.read_color("timeline_work_area_back_color"));
    EXPECT_EQ(color{}, table.read_color("default_back_color"));
    EXPECT_EQ(1.0f, table.read_float("default_border_width"));
    EXPECT_EQ(5.0f, table.read_float("float_round_radius"));
    EXPECT_EQ(11.0f, table.read_float("label_font_size"));
    EXPECT_EQ(5, table.read_int("checkbox_text_gap"));
    EXPECT_EQ(2, table.read_int("button_font_weight"));
    EXPECT_EQ(1, table.read_int("button_font_alignment"));
    EXPECT_EQ(50, table.read_int("scroll_min_size"));
    EXPECT_EQ((style_int_pair{20, 20}), table.read_int_pair("message_popup_window_margins"));
    EXPECT_EQ((style_int_pair{65, 0}), table.read_int_pair("button_auto_size_min_max"));
    EXPECT_EQ((style_int_quad{5, 1, 5, 1}), table.read_int_quad("dropdown_text_margins"));
    EXPECT_EQ((style_int_quad{10, 10, 10, 0}), table.read_int_quad("timeline_margins"));
    EXPECT_EQ((style_int_quad{0, 0, 1, 22}), table.read_int_quad("timeline_indicator_line_rect"));
    EXPECT_EQ(nullptr, table.read_image("button_image").data);
    EXPECT_EQ(1, table.read_image("button_back_image").frames);
}

uint32_t crc32(const unsigned char* data, size_t length)
{
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

uint32_t big_endian(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

struct PngSize {
    uint32_t width = 0, height = 0;
};

// Walks the chunks with their checksums: IHDR first, IEND last and exactly at the end.
PngSize CheckPng(const unsigned char* data, uint64_t length)
{
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_GE(length, 8u + 25u + 12u);
    if (length < 8 + 25 + 12 || !std::equal(signature, signature + 8, data)) {
        ADD_FAILURE() << "no PNG signature";
        return {};
    }
    PngSize size;
    uint64_t at = 8;
    std::string last;
    while (at + 12 <= length) {
        const uint32_t chunk = big_endian(data + at);
        const std::string type(reinterpret_cast<const char*>(data + at + 4), 4);
        if (at + 12 + chunk > length) {
            ADD_FAILURE() << type << " runs past the end";
            return {};
        }
        EXPECT_EQ(big_endian(data + at + 8 + chunk), crc32(data + at + 4, chunk + 4)) << type;
        if (at == 8) {
            EXPECT_EQ("IHDR", type);
            size = {big_endian(data + at + 8), big_endian(data + at + 12)};
        }
        last = type;
        at += 12 + chunk;
    }
    EXPECT_EQ("IEND", last);
    EXPECT_EQ(length, at);
    return size;
}

// A caller reading an image value sees its byte length as well as its pixels, so the pictures
// whose length the defaults table states are pinned to it.
TEST(StyleDefaults, PicturesArePngsOfTheirRecordedSize)
{
    struct Known {
        style_key key;
        uint64_t length;
        uint32_t width, height;
        int32_t frames;
        float scale;
    };
    const Known known[] = {
        {"checkbox_image", 673, 14, 28, 2, 1},
        {"message_popup_image", 440, 28, 24, 1, 1},
        {"scroll_button_arrow_image", 255, 8, 8, 1, 1},
        {"multicontrol_lock_image", 569, 18, 144, 8, 1},
        {"node_port_output_image", 774, 40, 80, 2, 4},
        {"curve_editor_mark_control_image", 14716, 44, 132, 3, 4},
        {"editparam_image_default_image", 2567, 256, 256, 1, 1},
    };
    const style_table table;
    for (const Known& picture : known) {
        SCOPED_TRACE(picture.key.name);
        const style_image image = table.read_image(picture.key);
        EXPECT_EQ(picture.length, image.length);
        const PngSize size = CheckPng(image.data, image.length);
        EXPECT_EQ(picture.width, size.width);
        EXPECT_EQ(picture.height, size.height);
        EXPECT_EQ(picture.frames, image.frames);
        EXPECT_EQ(picture.scale, image.scale);
    }
    for (const builtin_definition& definition : builtin_definitions()) {
        const style_image image = table.read_image(definition.key);
        if (definition.value.kind != style_kind::image || !image.data)
            continue;
        SCOPED_TRACE(definition.key.name);
        const PngSize size = CheckPng(image.data, image.length);
        ASSERT_GE(image.frames, 1);
        EXPECT_GT(size.height, 0u);
        EXPECT_EQ(0u, size.height % image.frames) << "frames of unequal height";
        EXPECT_GT(image.scale, 0.0f);
    }
}

} // namespace
} // namespace zksdk::ui
