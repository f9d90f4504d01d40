// Tests of the headless renderer: what it records, its guards, the clip rounding at each DPI,
// and the deterministic text metrics.
#include "toolkit/platform/renderer.h"

#include "png_bytes.h"
#include "recording_client.h"
#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/headless/headless_control.h"
#include "toolkit/platform/headless/recording.h"
#include "toolkit/platform/image.h"
#include "toolkit/platform/native_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace zksdk::ui::headless {
namespace {

constexpr color opaque{0.2f, 0.4f, 0.6f, 1};
constexpr color transparent{0.2f, 0.4f, 0.6f, 0};

class RendererTest : public testing::Test {
protected:
    void SetUp() override
    {
        reset();
        m_window.create_native(nullptr, m_client, {0, 0, 400, 300}, 0);
        m_renderer = std::make_unique<renderer>(m_window);
    }
    void TearDown() override { reset(); }

    const std::vector<draw_call>& calls() const { return recorded_calls(m_window); }

    recording_client m_client;
    native_window m_window;
    std::unique_ptr<renderer> m_renderer;
};

TEST_F(RendererTest, ARendererNeedsACreatedWindow)
{
    native_window never_created;
    try {
        renderer failing(never_created);
        FAIL() << "no exception";
    } catch (const zk_exception& error) {
        EXPECT_EQ(0, std::string(error.what()).rfind("unable to", 0));
    }
}

TEST_F(RendererTest, InvisibleFillsAndOutlinesDrawNothing)
{
    struct guard_case {
        const char* name;
        std::function<void(renderer&)> draw;
        bool drawn;
    };
    const guard_case cases[] = {
        {"opaque fill",
         [](renderer& r) {
             r.set_fill_color(opaque), r.fill_rect({0, 0, 5, 5});
         },
         true},
        {"clear fill",
         [](renderer& r) {
             r.set_fill_color(transparent), r.fill_rect({0, 0, 5, 5});
         },
         false},
        {"clear rounded",
         [](renderer& r) {
             r.set_fill_color(transparent), r.fill_rounded_rect({0, 0, 5, 5}, 2);
         },
         false},
        {"clear ellipse",
         [](renderer& r) {
             r.set_fill_color(transparent), r.fill_ellipse({5, 5}, 3, {});
         },
         false},
        {"gradient ignores the fill",
         [](renderer& r) {
             r.set_fill_color(transparent), r.fill_vertical_gradient({0, 0, 5, 5}, opaque, opaque);
         },
         true},
        {"outline",
         [](renderer& r) {
             r.set_stroke(opaque, 1), r.draw_rect({0, 0, 5, 5});
         },
         true},
        {"clear outline",
         [](renderer& r) {
             r.set_stroke(transparent, 1), r.draw_rect({0, 0, 5, 5});
         },
         false},
        {"zero width outline",
         [](renderer& r) {
             r.set_stroke(opaque, 0), r.draw_rect({0, 0, 5, 5});
         },
         false},
        {"negative width line",
         [](renderer& r) {
             r.set_stroke(opaque, -1), r.draw_line({0, 0}, {5, 5});
         },
         false},
        {"clear line",
         [](renderer& r) {
             r.set_stroke(transparent, 1), r.draw_line({0, 0}, {5, 5});
         },
         false},
        {"line",
         [](renderer& r) {
             r.set_stroke(opaque, 1), r.draw_line({0, 0}, {5, 5});
         },
         true},
    };
    for (const guard_case& c : cases) {
        SCOPED_TRACE(c.name);
        clear_recording(*m_renderer);
        c.draw(*m_renderer);
        EXPECT_EQ(c.drawn ? 1u : 0u, calls().size());
    }
}

TEST_F(RendererTest, ClipsAndFillsGrowByOneWhenTheScaledLengthEndsInAHalfOrMore)
{
    struct rounding_case {
        int32_t dpi;
        int32_t length;
        int32_t rounded;
    };
    const rounding_case cases[] = {
        {96, 10, 10}, {96, 3, 3},  {120, 10, 11}, {120, 2, 3}, {120, 4, 4},
        {120, 7, 8},  {120, 1, 1}, {144, 10, 10}, {144, 3, 4}, {144, 1, 2},
    };
    for (const rounding_case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " dpi, length " << c.length);
        m_renderer->resize(400, 300, c.dpi, c.dpi);
        clear_recording(*m_renderer);
        m_renderer->begin_widget(this, {0, 0, c.length, c.length}, {0, 0, 400, 300});
        m_renderer->set_fill_color(opaque);
        m_renderer->fill_rect({1, 1, c.length, c.length});
        m_renderer->end_widget();
        EXPECT_EQ((float_box{0, 0, float(c.rounded), float(c.rounded)}), calls().at(0).shape);
        const float_box fill = calls().at(1).shape;
        EXPECT_EQ(float(1 + c.rounded), fill.right);
        EXPECT_EQ(float(1 + c.rounded), fill.bottom);
    }
}

TEST_F(RendererTest, NestedWidgetsDrawAtTheirAccumulatedOrigin)
{
    int parent = 0, child = 0;
    m_renderer->set_fill_color(opaque);
    m_renderer->begin_widget(&parent, {10, 20, 100, 100}, {0, 0, 400, 300});
    m_renderer->begin_widget(&child, {5, 7, 50, 50}, {0, 0, 400, 300});
    m_renderer->fill_rect({0, 0, 1, 1});
    m_renderer->end_widget();
    m_renderer->fill_rect({0, 0, 1, 1});
    m_renderer->end_widget();
    ASSERT_EQ(6u, calls().size());
    EXPECT_EQ((point{15, 27}), calls()[2].origin);
    EXPECT_EQ(&child, calls()[2].widget);
    EXPECT_EQ(&child, calls()[3].widget) << "end_widget names the widget it closes";
    EXPECT_EQ((point{10, 20}), calls()[4].origin);
    EXPECT_EQ(&parent, calls()[4].widget);
    EXPECT_EQ(draw_op::end_widget, calls()[5].op);
    EXPECT_EQ(0u, open_widgets(*m_renderer));
}

TEST_F(RendererTest, FontAndAlignmentKindsMapLikeTheDevice)
{
    struct font_case {
        int32_t weight_kind, style_kind, weight;
        bool italic;
    };
    for (const font_case& c : {font_case{0, 0, 400, false}, font_case{1, 1, 300, true},
                               font_case{2, 2, 700, false}, font_case{7, -1, 400, false}}) {
        m_renderer->set_font("Verdana", 14, c.weight_kind, c.style_kind, true);
        m_renderer->draw_text({0, 0, 10, 10}, "x");
        EXPECT_EQ(c.weight, calls().back().state.font_weight);
        EXPECT_EQ(c.italic, calls().back().state.italic);
    }
    struct alignment_case {
        int32_t h, v;
        horizontal_alignment horizontal;
        vertical_alignment vertical;
    };
    for (const alignment_case& c :
         {alignment_case{0, 0, horizontal_alignment::leading, vertical_alignment::centre},
          alignment_case{1, 1, horizontal_alignment::centre, vertical_alignment::top},
          alignment_case{2, 2, horizontal_alignment::trailing, vertical_alignment::bottom},
          alignment_case{5, 5, horizontal_alignment::centre, vertical_alignment::centre}}) {
        m_renderer->set_text_alignment(c.h, c.v);
        m_renderer->draw_text_clipped({0, 0, 10, 10}, {0, 0, 5, 5}, "x");
        EXPECT_EQ(c.horizontal, calls().back().state.horizontal);
        EXPECT_EQ(c.vertical, calls().back().state.vertical);
        EXPECT_FALSE(calls().back().state.underline) << "clipped captions never underline";
    }
}

TEST_F(RendererTest, OutlinesRunThroughTheBorderAndOddLinesThroughPixelCentres)
{
    m_renderer->set_stroke(opaque, 2);
    m_renderer->draw_rect({10, 10, 20, 10});
    EXPECT_EQ((float_box{11, 11, 29, 19}), calls().back().shape);
    struct line_case {
        float width, offset;
    };
    for (const line_case& c : {line_case{1, 0.5f}, line_case{2, 0}, line_case{3, 0.5f}}) {
        m_renderer->set_stroke(opaque, c.width);
        m_renderer->draw_line({0, 4}, {9, 4});
        EXPECT_EQ((float_box{c.offset, 4 + c.offset, 9 + c.offset, 4 + c.offset}),
                  calls().back().shape);
    }
}

TEST_F(RendererTest, MeasuredTextFollowsTheDocumentedMetrics)
{
    struct measure_case {
        const char* text;
        float font_size;
        size maximum;
        size expected;
    };
    const measure_case cases[] = {
        {"abc", 12, {}, {22, 15}},              // 21.6 x 14.4
        {"", 12, {}, {1, 15}},                  // one empty line
        {"hello world", 10, {50, 0}, {37, 25}}, // "hello " / "world"
        {"abcde", 10, {30, 0}, {31, 13}},       // exactly as wide as the limit
        {"abcdefgh", 10, {20, 0}, {19, 37}},    // no space: breaks between units
        {"a\n\nb", 12, {}, {8, 44}},            // three lines
        {"h\xC3\xA9llo", 10, {}, {31, 13}},     // UTF-8 in, UTF-16 units counted
    };
    for (const measure_case& c : cases) {
        SCOPED_TRACE(c.text);
        m_renderer->set_font("Verdana", c.font_size, 0, 0, false);
        EXPECT_EQ(c.expected, m_renderer->measure_text(c.text, c.maximum));
    }
}

TEST_F(RendererTest, RunsChangeTheSizeOfTheirRangeOnly)
{
    m_renderer->set_font("Verdana", 10, 0, 0, false);
    text_run big;
    big.size = 20;
    big.first = 1;
    big.end = 2;
    const text_run runs[] = {big};
    EXPECT_EQ((size{25, 25}), m_renderer->measure_text("abc", {}, runs)); // 6 + 12 + 6, 24 high
}

TEST_F(RendererTest, RangeBoundsFollowLinesAndAlignment)
{
    m_renderer->set_font("Verdana", 10, 0, 0, false);
    const std::span<const text_run> none;
    EXPECT_EQ((rect{0, 12, 30, 12}),
              m_renderer->text_range_bounds("hello world", {50, 0}, none, 6, 11));
    EXPECT_EQ((rect{0, 0, 36, 24}),
              m_renderer->text_range_bounds("hello world", {50, 0}, none, 4, 8));
    EXPECT_EQ(rect{}, m_renderer->text_range_bounds("hello world", {50, 0}, none, 3, 3));
    m_renderer->set_text_alignment(1, 2);
    EXPECT_EQ((rect{53, 38, 30, 12}),
              m_renderer->text_range_bounds("hello world", {100, 50}, none, 6, 11));
}

TEST_F(RendererTest, ImagesDrawAtTheirLogicalSizeOnlyOnceDecoded)
{
    image picture;
    m_renderer->draw_image({1, 1}, picture, 1);
    EXPECT_TRUE(calls().empty());
    ASSERT_TRUE(picture.load(solid_png(30, 21, 255, 0, 0, 255), 3, 1.5f));
    m_renderer->draw_image({4, 5}, picture, 0.5f);
    m_renderer->draw_image_part_at({0, 0}, picture, {0, 7, 20, 7}, 1);
    EXPECT_EQ((float_box{4, 5, 24, 19}), calls().at(0).shape);
    EXPECT_EQ(&picture, calls().at(0).picture);
    EXPECT_EQ((float_box{0, 0, 20, 7}), calls().at(1).shape);
    EXPECT_EQ((rect{0, 7, 20, 7}), calls().at(1).source);
}

TEST_F(RendererTest, RendererAndImageMayDieInEitherOrder)
{
    const std::vector<uint8_t> bytes = solid_png(2, 2, 1, 2, 3, 255);
    auto picture = std::make_unique<image>();
    ASSERT_TRUE(picture->load(bytes, 1, 1));
    {
        renderer other(m_window);
        other.draw_image({0, 0}, *picture, 1);
        m_renderer->draw_image({0, 0}, *picture, 1);
    }
    picture->reset();
    ASSERT_TRUE(picture->load(bytes, 1, 1));
    m_renderer->draw_image({0, 0}, *picture, 1);
    picture.reset();
    m_renderer.reset(); // would touch the freed image if the link survived
    SUCCEED();
}

} // namespace
} // namespace zksdk::ui::headless
