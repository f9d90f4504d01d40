// The style layers as a widget sees them: lookup order, redirects, themes, announcements, and
// reads of missing and cut-short values.
#include "toolkit/core/style/style_table.h"

#include "toolkit/core/event_dispatcher.h"
#include "toolkit/core/event_object.h"
#include "toolkit/core/style/application_theme.h"
#include "toolkit/core/style/builtin_defaults.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

namespace zksdk::ui {
namespace {

constexpr color red{1, 0, 0, 1};
constexpr color green{0, 1, 0, 1};
constexpr color blue{0, 0, 1, 1};

// Stands in for a widget: owns a table and records the names that style_changed carried.
class RecordingOwner : public event_object {
public:
    RecordingOwner()
    {
        event_dispatcher::instance().connect(
            this, this, event_type::style_changed, [this](const event_info& info) {
                changed.push_back(static_cast<const style_key*>(info.data)->name);
            });
    }

    style_table table{this};
    std::vector<std::string> changed;
};

class StyleTableTest : public ::testing::Test {
protected:
    void SetUp() override { install_theme(style_map{}); }
    void TearDown() override { install_theme(style_map{}); }

    color default_of(const style_key& key) const
    {
        return decode_style_color(*builtin_defaults().find(key));
    }

    RecordingOwner owner;
    style_table& table = owner.table;
};

TEST_F(StyleTableTest, KeyNoLayerHoldsReadsAsNothingOfEveryKind)
{
    const style_key missing = "no_layer_defines_this_key";
    EXPECT_TRUE(table.find(missing).empty());
    EXPECT_EQ(color{}, table.read_color(missing));
    EXPECT_EQ(0.0f, table.read_float(missing));
    EXPECT_EQ(0, table.read_int(missing));
    EXPECT_FALSE(table.read_bool(missing));
    EXPECT_EQ((style_int_pair{0, 0}), table.read_int_pair(missing));
    EXPECT_EQ((style_int_quad{0, 0, 0, 0}), table.read_int_quad(missing));
    EXPECT_TRUE(table.read_string(missing).empty());
    const style_image image = table.read_image(missing);
    EXPECT_EQ(nullptr, image.data);
    EXPECT_EQ(0u, image.length);
    EXPECT_EQ(1, image.frames);
    EXPECT_EQ(1.0f, image.scale);
}

TEST_F(StyleTableTest, OwnEntryHidesThemeWhichHidesDefault)
{
    struct Case {
        bool themed, own;
        color expected;
    };
    const style_key key = "button_color_normal";
    const color builtin = default_of(key);
    const Case cases[] = {
        {false, false, builtin}, {true, false, green}, {false, true, red}, {true, true, red}};
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "themed " << test.themed << ", own " << test.own);
        RecordingOwner widget;
        style_map theme;
        if (test.themed)
            theme.set(key, green);
        install_theme(theme);
        if (test.own)
            widget.table.set(key, red);
        EXPECT_EQ(test.expected, widget.table.read_color(key));
        EXPECT_EQ(test.themed ? green : builtin, owner.table.read_color(key))
            << "another widget's own entry leaked";
    }
}

TEST_F(StyleTableTest, EverySetAnnouncesItsKeyEvenWhenTheBytesAreEqual)
{
    table.set("button_color_normal", red);
    table.set("button_color_normal", red);
    table.set("button_round_edges", true);
    table.set("button_round_edges", true);
    table.set("button_font_weight", 2);
    table.set("button_font_size", 11.0f);
    table.set("button_image_filter_multiply_area", style_int_quad{1, 2, 3, 4});
    table.set("button_font_name", "Verdana");
    const std::vector<std::string> expected = {"button_color_normal",
                                               "button_color_normal",
                                               "button_round_edges",
                                               "button_round_edges",
                                               "button_font_weight",
                                               "button_font_size",
                                               "button_image_filter_multiply_area",
                                               "button_font_name"};
    EXPECT_EQ(expected, owner.changed);
}

TEST_F(StyleTableTest, TableWithoutOwnerStoresButAnnouncesNothing)
{
    table.set_owner(nullptr);
    table.set("button_color_normal", red);
    table.redirect("button_color_hover", "button_color_normal");
    EXPECT_TRUE(owner.changed.empty());
    EXPECT_EQ(red, table.read_color("button_color_hover"));
}

TEST_F(StyleTableTest, RedirectReadsOnlyTheTargetsLayers)
{
    struct Case {
        const char* name;
        bool target_own, target_themed, target_has_default;
        color expected;
    };
    const Case cases[] = {
        {"target's own entry", true, true, true, red},
        {"target's theme value", false, true, true, green},
        {"target's default", false, false, true, default_of("button_color_hover")},
        {"nothing, not the source's default", false, false, false, color{}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        RecordingOwner widget;
        const style_key source = "button_color_normal";
        const style_key target = test.target_has_default ? style_key("button_color_hover")
                                                         : style_key("themed_only_key");
        style_map theme;
        theme.set(source, blue);
        if (test.target_themed)
            theme.set(target, green);
        install_theme(theme);
        widget.table.set(source, blue);
        if (test.target_own)
            widget.table.set(target, red);
        widget.table.redirect(source, target);
        EXPECT_EQ(test.expected, widget.table.read_color(source));
    }
}

TEST_F(StyleTableTest, RedirectTakesOneStepOnly)
{
    table.set("key_b", green);
    table.set("key_c", blue);
    table.redirect("key_a", "key_b");
    table.redirect("key_b", "key_c");
    EXPECT_EQ(green, table.read_color("key_a"));
    EXPECT_EQ(blue, table.read_color("key_b"));
}

TEST_F(StyleTableTest, RedirectAnnouncesOnlyNewOrChangedTargets)
{
    table.redirect("button_color_normal", "button_color_hover");
    table.redirect("button_color_normal", "button_color_hover");
    EXPECT_EQ(1u, owner.changed.size());
    table.redirect("button_color_normal", "button_color_toggle");
    table.redirect("button_color_normal", "button_color_toggle");
    EXPECT_EQ((std::vector<std::string>{"button_color_normal", "button_color_normal"}),
              owner.changed);
    EXPECT_EQ(default_of("button_color_toggle"), table.read_color("button_color_normal"));
}

TEST_F(StyleTableTest, InstalledThemeIsACopyAndASecondThemeDiscardsTheFirst)
{
    style_map first;
    first.set("button_color_normal", red);
    first.set("themed_only_key", red);
    install_theme(first);
    first.set("button_color_normal", blue);
    EXPECT_EQ(red, table.read_color("button_color_normal"));

    style_map second;
    second.set("themed_only_key", green);
    install_theme(second);
    EXPECT_EQ(green, table.read_color("themed_only_key"));
    EXPECT_EQ(default_of("button_color_normal"), table.read_color("button_color_normal"));
}

TEST_F(StyleTableTest, StyleMapInsertKeepsTheFirstValueAndSetReplacesIt)
{
    style_map map;
    EXPECT_TRUE(map.insert("key", encode_style_value(1)));
    EXPECT_FALSE(map.insert("key", encode_style_value(2)));
    EXPECT_EQ(1, decode_style_int(*map.find("key")));
    map.set("key", 3);
    EXPECT_EQ(3, decode_style_int(*map.find("key")));
}

// Each value is its own heap block of exactly its size, so a read past it trips the sanitizer.
TEST_F(StyleTableTest, ShortValuesReadOnlyTheirOwnBytes)
{
    const style_bytes one_float = encode_style_value(0.5f);
    style_bytes five = one_float;
    five.push_back(0x7f);
    style_map theme;
    theme.set_bytes("short_color", five);
    theme.set_bytes("short_quad", {1});
    theme.set_bytes("short_pair", {0, 1, 0});
    theme.set_bytes("short_image", style_bytes(20, 0xff));
    theme.set_bytes("short_int", {7, 0});
    theme.set_bytes("empty", {});
    theme.set_bytes("bool_two", {2});
    install_theme(theme);

    EXPECT_EQ((color{0.5f, std::bit_cast<float>(uint32_t{0x7f}), 0, 0}),
              table.read_color("short_color"));
    EXPECT_EQ((style_int_quad{1, 0, 0, 0}), table.read_int_quad("short_quad"));
    EXPECT_EQ((style_int_pair{0x100, 0}), table.read_int_pair("short_pair"));
    EXPECT_EQ(7, table.read_int("short_int"));
    EXPECT_EQ(nullptr, table.read_image("short_image").data);
    EXPECT_EQ(1, table.read_image("short_image").frames);
    EXPECT_EQ(color{}, table.read_color("empty"));
    EXPECT_FALSE(table.read_bool("empty"));
    EXPECT_TRUE(table.read_bool("bool_two"));
}

TEST_F(StyleTableTest, EveryKindIsStoredAtItsSizeAndReadsBack)
{
    static const unsigned char png[] = {0x89, 'P', 'N', 'G'};
    const style_image image{png, sizeof png, 3, 4.0f};
    table.set("k_bool", true);
    table.set("k_int", -7);
    table.set("k_float", 2.5f);
    table.set("k_color", color{0.1f, 0.2f, 0.3f, 0.4f});
    table.set("k_pair", style_int_pair{-1, 65});
    table.set("k_quad", style_int_quad{5, 1, 5, 1});
    table.set("k_string", ",  ");
    table.set("k_image", image);

    struct Size {
        style_key key;
        size_t bytes;
    };
    const Size sizes[] = {{"k_bool", 1}, {"k_int", 4},   {"k_float", 4},  {"k_color", 16},
                          {"k_pair", 8}, {"k_quad", 16}, {"k_string", 3}, {"k_image", 24}};
    for (const Size& size : sizes)
        EXPECT_EQ(size.bytes, table.find(size.key).size()) << size.key.name;

    EXPECT_TRUE(table.read_bool("k_bool"));
    EXPECT_EQ(-7, table.read_int("k_int"));
    EXPECT_EQ(2.5f, table.read_float("k_float"));
    EXPECT_EQ((color{0.1f, 0.2f, 0.3f, 0.4f}), table.read_color("k_color"));
    EXPECT_EQ((style_int_pair{-1, 65}), table.read_int_pair("k_pair"));
    EXPECT_EQ((style_int_quad{5, 1, 5, 1}), table.read_int_quad("k_quad"));
    EXPECT_EQ(",  ", table.read_string("k_string"));
    const style_image read = table.read_image("k_image");
    EXPECT_EQ(png, read.data);
    EXPECT_EQ(sizeof png, read.length);
    EXPECT_EQ(3, read.frames);
    EXPECT_EQ(4.0f, read.scale);
}

} // namespace
} // namespace zksdk::ui
