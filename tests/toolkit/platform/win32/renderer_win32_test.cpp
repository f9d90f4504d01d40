// Tests of the Windows renderer in a real window: what lands on the screen for fills, outlines,
// clips at fractional scales and gradients, and what DirectWrite reports for text.
#include "toolkit/platform/renderer.h"

#include "drawing_window.h"
#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/text_run.h"
#include "toolkit/platform/win32/renderer_impl.h"

#include <gtest/gtest.h>

#include <string>

namespace zksdk::ui::win32_test {
namespace {

constexpr int32_t window_width = 160;
constexpr int32_t window_height = 120;

bool is_lit(pixel value)
{
    return value.r > 0xF0 && value.g > 0xF0 && value.b > 0xF0;
}

bool is_dark(pixel value)
{
    return value.r < 0x10 && value.g < 0x10 && value.b < 0x10;
}

class RendererTest : public ::testing::Test {
protected:
    ole_scope m_ole;
    drawing_window m_window{window_width, window_height};
};

TEST_F(RendererTest, PaintPassNestsTransformsAndEndsWithTheLastWidget)
{
    renderer& target = m_window.painter();
    EXPECT_EQ(m_window.handle(), target.backend().window);
    const int root = 0;
    const int child = 0;
    target.begin_widget(&root, {5, 7, 100, 100}, {0, 0, 160, 120});
    target.begin_widget(&child, {10, 20, 30, 30}, {0, 0, 160, 120});
    const D2D1_MATRIX_3X2_F inner = target.backend().transforms.back();
    EXPECT_FLOAT_EQ(15.0f, inner._31);
    EXPECT_FLOAT_EQ(27.0f, inner._32);
    target.end_widget();
    EXPECT_EQ(2u, target.backend().transforms.size());
    target.end_widget();
    EXPECT_EQ(1u, target.backend().transforms.size());
    EXPECT_TRUE(target.backend().widgets.empty());
}

TEST_F(RendererTest, ARecordWithoutANativeWindowHasNoRenderTarget)
{
    native_window never_created;
    try {
        renderer target(never_created);
        ADD_FAILURE() << "a renderer was made without a window";
    } catch (const zk_exception& failure) {
        EXPECT_EQ(std::string("unable to create a d2d render target"), failure.what());
    }
}

// Each paint draws only the widgets in the update area over the last frame, which the target
// keeps through a present but not through a resize: after one every widget draws again.
TEST_F(RendererTest, AResizeMarksTheWholeWindowForPainting)
{
    ValidateRect(m_window.handle(), nullptr);
    m_window.set_dpi(120, 120);
    RECT marked{};
    ASSERT_TRUE(GetUpdateRect(m_window.handle(), &marked, FALSE));
    EXPECT_EQ(0, marked.left);
    EXPECT_EQ(0, marked.top);
    EXPECT_EQ(window_width, marked.right);
    EXPECT_EQ(window_height, marked.bottom);
}

// A failed frame is drawn again, not dropped; a device that does not come back, or frames that
// keep failing, end in the toolkit's exception instead of a window that never draws. Once the
// device is back the renderer draws again.
TEST_F(RendererTest, FramesThatKeepFailingEndInTheToolkitsException)
{
    renderer& target = m_window.painter();
    const auto fill = [](renderer& painter) {
        painter.set_fill_color(white);
        painter.fill_rect({0, 0, 10, 10});
    };
    ValidateRect(m_window.handle(), nullptr);
    target.backend().next_end_draw_result = E_FAIL;
    m_window.paint({0, 0, 40, 40}, fill);
    EXPECT_TRUE(marked_within(m_window.handle(), 5000)) << "the failed frame is drawn again";
    m_window.paint({0, 0, 40, 40}, fill);
    EXPECT_TRUE(is_lit(m_window.at(5, 5)));

    struct failure_case {
        const char* name;
        HRESULT end_draw; // for every pass; a lost device only for the first
        uint32_t refused_targets;
        std::string message;
    };
    const failure_case cases[] = {
        {"EndDraw keeps failing", E_FAIL, 0, "unable to draw the window's frame"},
        {"the lost device does not come back", static_cast<HRESULT>(D2DERR_RECREATE_TARGET), 100,
         "unable to create a d2d render target"},
    };
    for (const failure_case& c : cases) {
        SCOPED_TRACE(c.name);
        int passes = 0;
        std::string message;
        try {
            for (; passes < 30; ++passes) {
                if (passes == 0 || c.end_draw != static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
                    target.backend().next_end_draw_result = c.end_draw;
                }
                target.backend().failing_target_creations = c.refused_targets;
                m_window.paint({0, 0, 40, 40}, fill);
            }
        } catch (const zk_exception& failure) {
            message = failure.what();
        }
        EXPECT_EQ(c.message, message);
        EXPECT_GE(passes, 5) << "a few failed frames in a row are retried";
        target.backend().failing_target_creations = 0;
        m_window.paint({0, 0, 40, 40}, fill);
        EXPECT_TRUE(is_lit(m_window.at(5, 5)));
    }
}

TEST_F(RendererTest, FillsCoverTheirShapesInWidgetCoordinatesAndInvisibleOnesNothing)
{
    m_window.paint({20, 10, 100, 100}, [](renderer& target) {
        target.set_fill_color(white);
        target.fill_rect({5, 5, 10, 10});
        target.fill_ellipse({60, 20}, 10, {60, 0, 20, 40}); // only the right half
        target.set_fill_color({1, 0, 0, 0});
        target.fill_rect({5, 5, 10, 10});
        target.fill_rounded_rect({5, 5, 10, 10}, 4);
        target.set_stroke(red, 0);
        target.draw_rect({5, 5, 10, 10});
        target.set_stroke({1, 0, 0, 0}, 1);
        target.draw_line({5, 10}, {15, 10});
    });
    EXPECT_TRUE(is_lit(m_window.at(25, 15)));
    EXPECT_TRUE(is_lit(m_window.at(34, 24)));
    EXPECT_TRUE(is_lit(m_window.at(30, 20)));
    EXPECT_TRUE(is_dark(m_window.at(35, 24)));
    EXPECT_TRUE(is_dark(m_window.at(34, 25)));
    EXPECT_TRUE(is_dark(m_window.at(24, 14)));
    EXPECT_TRUE(is_lit(m_window.at(85, 30)));
    EXPECT_TRUE(is_dark(m_window.at(75, 30)));
}

TEST_F(RendererTest, OutlinesRunInsideTheRectangleAndLinesOnPixelCentres)
{
    m_window.paint({20, 20, 60, 60}, [](renderer& target) {
        target.set_stroke(white, 1);
        target.set_dash(0);
        target.draw_rect({2, 2, 10, 10});
        target.draw_line({2, 25}, {12, 25});
    });
    // The outline's pixels are the rectangle's own first and last rows and columns.
    EXPECT_TRUE(is_lit(m_window.at(22, 26)));
    EXPECT_TRUE(is_lit(m_window.at(31, 26)));
    EXPECT_TRUE(is_lit(m_window.at(26, 22)));
    EXPECT_TRUE(is_lit(m_window.at(26, 31)));
    EXPECT_TRUE(is_dark(m_window.at(21, 26)));
    EXPECT_TRUE(is_dark(m_window.at(32, 26)));
    EXPECT_TRUE(is_dark(m_window.at(26, 26)));
    EXPECT_TRUE(is_dark(m_window.at(26, 32)));
    // A one-unit line covers exactly one row of pixels.
    EXPECT_TRUE(is_lit(m_window.at(26, 45)));
    EXPECT_TRUE(is_dark(m_window.at(26, 44)));
    EXPECT_TRUE(is_dark(m_window.at(26, 46)));
}

TEST_F(RendererTest, WidgetClipGrowsByOneUnitWhenTheScaledEdgeIsHalfCovered)
{
    struct clip_case {
        int32_t dpi_x;
        int32_t dpi_y;
        int32_t width; // DIPs, also the height
        int32_t last_lit_x;
        int32_t first_dark_x;
        int32_t last_lit_y;
        int32_t first_dark_y;
    };
    // The child sits at the origin: Wine scales an axis-aligned clip before applying the
    // transform, which misplaces the clip of a translated widget at scales other than 1.
    // 120 DPI: 10 units are 12.5 pixels, so the clip grows to 11 units (13.75 pixels); 144 DPI:
    // 10 units are exactly 15 pixels, and 11 units (16.5 pixels) grow to 12 (18 pixels).
    const clip_case cases[] = {
        {96, 96, 10, 9, 10, 9, 10},     {120, 120, 10, 12, 14, 12, 14},
        {144, 144, 10, 14, 15, 14, 15}, {144, 144, 11, 17, 18, 17, 18},
        {120, 144, 10, 12, 14, 14, 15},
    };
    for (const clip_case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi_x << "x" << c.dpi_y << " width " << c.width);
        m_window.set_dpi(c.dpi_x, c.dpi_y);
        m_window.paint({0, 0, c.width, c.width}, [](renderer& target) {
            target.set_fill_color(white);
            target.fill_rect({0, 0, 60, 60});
        });
        EXPECT_TRUE(is_lit(m_window.at(c.last_lit_x, c.last_lit_y)));
        EXPECT_TRUE(is_dark(m_window.at(c.first_dark_x, c.last_lit_y)));
        EXPECT_TRUE(is_dark(m_window.at(c.last_lit_x, c.first_dark_y)));
    }
}

// A child away from the origin keeps its clip where it is drawn at every scale.
TEST_F(RendererTest, TranslatedWidgetClipFollowsTheWidgetAtEveryScale)
{
    for (const int32_t dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        m_window.set_dpi(dpi, dpi);
        m_window.paint({20, 12, 10, 10}, [](renderer& target) {
            target.set_fill_color(white);
            target.fill_rect({-20, -20, 60, 60});
        });
        const auto px = [dpi](int32_t dips) { return dips * dpi / 96; };
        EXPECT_TRUE(is_lit(m_window.at(px(20), px(12))));
        EXPECT_TRUE(is_lit(m_window.at(px(30) - 1, px(22) - 1)));
        EXPECT_TRUE(is_dark(m_window.at(px(20) - 1, px(16))));
        EXPECT_TRUE(is_dark(m_window.at(px(30) + 1, px(16))));
        EXPECT_TRUE(is_dark(m_window.at(px(24), px(22) + 1)));
    }
}

TEST_F(RendererTest, FillGrowsByTheSameRuleAtFractionalScales)
{
    m_window.set_dpi(120, 120);
    m_window.paint({0, 0, 60, 60}, [](renderer& target) {
        target.set_fill_color(white);
        target.fill_rect({0, 0, 10, 10}); // 12.5 pixels: grows to 11 units, 13.75 pixels
    });
    EXPECT_TRUE(is_lit(m_window.at(12, 12)));
    EXPECT_TRUE(is_dark(m_window.at(14, 5)));
    EXPECT_TRUE(is_dark(m_window.at(5, 14)));
}

TEST_F(RendererTest, VerticalGradientRunsFromTopColourToBottomColourAndStops)
{
    m_window.paint({0, 0, 60, 100}, [](renderer& target) {
        target.fill_vertical_gradient({10, 10, 20, 60}, red, {0, 0, 1, 1});
    });
    const pixel top = m_window.at(20, 10);
    const pixel bottom = m_window.at(20, 69);
    EXPECT_GT(top.r, 0xE0);
    EXPECT_LT(top.b, 0x20);
    EXPECT_GT(bottom.b, 0xE0);
    EXPECT_LT(bottom.r, 0x20);
    const pixel middle = m_window.at(20, 40);
    EXPECT_GT(middle.r, 0x20);
    EXPECT_GT(middle.b, 0x20);
    EXPECT_TRUE(is_dark(m_window.at(20, 70)));
    EXPECT_TRUE(is_dark(m_window.at(30, 40)));
}

class RendererTextTest : public RendererTest {
protected:
    void SetUp() override { m_window.painter().set_font("Tahoma", 12.0f, 0, 0, false); }
    renderer& painter() { return m_window.painter(); }
};

constexpr std::string_view sentence = "the quick brown fox jumps over the lazy dog";

TEST_F(RendererTextTest, MeasuringGivesPositiveSizesAndWrapsUnderAWidthLimit)
{
    const size empty = painter().measure_text("", {});
    const size line = painter().measure_text(sentence, {});
    EXPECT_GT(line.width, 50);
    EXPECT_GT(line.height, 5);
    EXPECT_GE(line.width, empty.width);
    const size wrapped = painter().measure_text(sentence, {80, 0});
    EXPECT_GT(wrapped.height, line.height * 2);
    painter().set_font("Tahoma", 24.0f, 2, 0, false);
    const size large = painter().measure_text(sentence, {});
    EXPECT_GT(large.width, line.width);
    EXPECT_GT(large.height, line.height);
}

TEST_F(RendererTextTest, RunsChangeTheMeasuredSize)
{
    const size plain = painter().measure_text(sentence, {});
    text_run larger;
    larger.family = "Tahoma";
    larger.size = 30.0f;
    larger.first = 4;
    larger.end = 9; // "quick"
    const size with_run = painter().measure_text(sentence, {}, std::span(&larger, 1));
    EXPECT_GT(with_run.width, plain.width);
    EXPECT_GT(with_run.height, plain.height);
}

TEST_F(RendererTextTest, RangeBoundsLocateAWordOnALaterLine)
{
    painter().set_text_alignment(0, 1);
    const size limit{80, 1000};
    const size wrapped = painter().measure_text(sentence, limit);
    const int32_t first = static_cast<int32_t>(sentence.find("dog"));
    const rect last_word = painter().text_range_bounds(sentence, limit, {}, first, first + 3);
    const rect first_word = painter().text_range_bounds(sentence, limit, {}, 0, 3);
    EXPECT_GT(last_word.width, 0);
    EXPECT_GT(last_word.height, 0);
    EXPECT_GT(last_word.y, first_word.y + first_word.height / 2);
    EXPECT_LE(last_word.y + last_word.height, wrapped.height + 1);
    EXPECT_LE(last_word.x + last_word.width, limit.width + 1);
    EXPECT_EQ(rect{}, painter().text_range_bounds(sentence, limit, {}, 5, 5));

    const auto length = static_cast<int32_t>(sentence.size());
    const rect whole = painter().text_range_bounds(sentence, limit, {}, 0, length);
    EXPECT_NEAR(wrapped.height - 1, whole.height, 1);
    EXPECT_GE(whole.y, 0) << "top alignment starts at the layout's top";
    painter().set_text_alignment(2, 1);
    const rect trailing = painter().text_range_bounds(sentence, limit, {}, 0, 3);
    EXPECT_GT(trailing.x, first_word.x);
    EXPECT_NEAR(first_word.width, trailing.width, 1);
}

TEST_F(RendererTextTest, RunColoursDrawAndAllZeroColoursInheritTheTextColour)
{
    m_window.paint({0, 0, 160, 120}, [](renderer& target) {
        target.set_text_alignment(0, 1);
        target.set_text_color({0, 1, 0, 1});
        target.set_font("Tahoma", 20.0f, 2, 0, false);
        text_run runs[2];
        runs[0].family = "Tahoma";
        runs[0].size = 20.0f;
        runs[0].weight_kind = 2;
        runs[0].first = 0;
        runs[0].end = 4;
        runs[0].text_color = red;
        runs[1] = runs[0];
        runs[1].first = 5;
        runs[1].end = 9;
        runs[1].text_color = {};
        target.draw_text({0, 0, 160, 60}, "MMMM MMMM", runs);
    });
    bool red_seen = false;
    bool green_seen = false;
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 160; ++x) {
            const pixel p = m_window.at(x, y);
            red_seen = red_seen || (p.r > 0x80 && p.g < 0x40);
            green_seen = green_seen || (p.g > 0x80 && p.r < 0x40);
        }
    }
    EXPECT_TRUE(red_seen);
    EXPECT_TRUE(green_seen);
}

// A document far taller than the window, scrolled so that it starts above it: the rows at the
// window's top and bottom edges both show text, whatever lines are left out of the drawing.
TEST_F(RendererTextTest, ScrolledLongTextDrawsEveryVisibleRow)
{
    std::string document;
    for (int line = 0; line < 400; ++line) {
        document += "MMMMMMMM MMMMMMMM\n";
    }
    m_window.paint({0, 0, 160, 120}, [&](renderer& target) {
        target.set_text_alignment(0, 1);
        target.set_text_color(white);
        target.draw_text({0, -3000, 160, 8000}, document);
    });
    const auto rows_show_text = [&](int32_t first, int32_t last) {
        bool drawn = false;
        for (int32_t y = first; y < last; ++y) {
            for (int32_t x = 0; x < 100; ++x) {
                drawn = drawn || !is_dark(m_window.at(x, y));
            }
        }
        return drawn;
    };
    EXPECT_TRUE(rows_show_text(0, 16));
    EXPECT_TRUE(rows_show_text(100, 116));
}

TEST_F(RendererTextTest, ClippedCaptionsStopAtTheClip)
{
    m_window.paint({0, 0, 160, 120}, [](renderer& target) {
        target.set_text_alignment(0, 1);
        target.set_text_color(white);
        target.draw_text_clipped({0, 0, 2000, 40}, {0, 0, 50, 40}, "MMMMMMMMMMMMMMMMMMMMMMMM");
    });
    bool inside = false;
    bool outside = false;
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 160; ++x) {
            const bool drawn = !is_dark(m_window.at(x, y));
            (x < 50 ? inside : outside) = (x < 50 ? inside : outside) || drawn;
        }
    }
    EXPECT_TRUE(inside);
    EXPECT_FALSE(outside);
}

} // namespace
} // namespace zksdk::ui::win32_test
