// Tests of the Windows image: WIC decoding into premultiplied BGRA, pixel locking, and the device
// bitmaps that renderers share with it, drawn in real windows.
#include "toolkit/platform/image.h"

#include "drawing_window.h"
#include "png_writer.h"
#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/win32/image_impl.h"
#include "toolkit/platform/win32/renderer_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

namespace zksdk::ui::win32_test {
namespace {

std::array<uint8_t, 4> pixel_bytes(image& picture, int32_t x, int32_t y)
{
    const pixel_access pixels = picture.lock_pixels();
    const uint8_t* p = pixels.data + y * pixels.stride + x * 4;
    std::array<uint8_t, 4> bgra{p[0], p[1], p[2], p[3]};
    picture.unlock_pixels(pixels);
    return bgra;
}

bool looks_like(pixel actual, pixel expected)
{
    return std::abs(actual.r - expected.r) <= 2 && std::abs(actual.g - expected.g) <= 2 &&
           std::abs(actual.b - expected.b) <= 2;
}

bool lists(const renderer& target, const image& picture)
{
    const auto& images = target.backend().images;
    return std::find(images.begin(), images.end(), &picture) != images.end();
}

bool lists(const image& picture, const renderer& target)
{
    const auto& renderers = picture.backend().renderers;
    return std::find(renderers.begin(), renderers.end(), &target) != renderers.end();
}

class ImageTest : public ::testing::Test {
protected:
    ole_scope m_ole;
};

TEST_F(ImageTest, DecodesPngIntoPremultipliedBgraWithItsFrames)
{
    // Opaque orange and half-transparent white, over three rows for three frames.
    const std::vector<uint8_t> rgba{255, 128, 0, 255, 255, 255, 255, 128, //
                                    0,   0,   0, 255, 0,   0,   0,   255, //
                                    0,   0,   0, 255, 0,   0,   0,   255};
    image picture;
    ASSERT_TRUE(picture.load(png_bytes(2, 3, rgba), 3, 1));
    EXPECT_TRUE(picture.is_decoded());
    EXPECT_FALSE(picture.is_modified());
    EXPECT_EQ((size{2, 3}), picture.pixel_size());
    EXPECT_EQ(3, picture.frames());
    EXPECT_EQ((size{2, 1}), picture.frame_size());
    EXPECT_EQ((std::array<uint8_t, 4>{0, 128, 255, 255}), pixel_bytes(picture, 0, 0));
    EXPECT_EQ((std::array<uint8_t, 4>{128, 128, 128, 128}), pixel_bytes(picture, 1, 0));
    const pixel_access pixels = picture.lock_pixels();
    EXPECT_GE(pixels.stride, 8u);
    EXPECT_GE(pixels.buffer_size, 2 * pixels.stride + 8);
    EXPECT_EQ(32u, pixels.bits_per_pixel);
    picture.unlock_pixels(pixels);

    image scaled;
    ASSERT_TRUE(scaled.load(solid_png(25, 50, 1, 2, 3, 255), 0, 2));
    EXPECT_EQ((size{12, 25}), scaled.logical_size());
    EXPECT_EQ((size{12, 25}), scaled.frame_size()) << "no frame count is one frame";
}

TEST_F(ImageTest, NonImageBytesAreRefusedAndKeepTheOldPicture)
{
    const std::vector<std::vector<uint8_t>> garbage{
        {}, {1, 2, 3, 4}, std::vector<uint8_t>(64, 0x89), {'G', 'I', 'F', '8', '9', 'a'}};
    for (const auto& bytes : garbage) {
        image picture;
        EXPECT_FALSE(picture.load(bytes, 1, 1));
        EXPECT_FALSE(picture.is_decoded());
    }
    // A PNG cut inside its pixel data is refused one way or the other, never half decoded.
    std::vector<uint8_t> cut = solid_png(40, 40, 9, 9, 9, 255);
    cut.resize(cut.size() - 200);
    image truncated;
    try {
        EXPECT_FALSE(truncated.load(cut, 1, 1));
    } catch (const zk_exception& failure) {
        EXPECT_EQ(std::string("unable to create a bitmap from the format converter"),
                  failure.what());
    }
    EXPECT_FALSE(truncated.is_decoded());

    image decoded;
    ASSERT_TRUE(decoded.load(solid_png(3, 3, 0, 0, 0, 255), 1, 1));
    EXPECT_FALSE(decoded.load(std::vector<uint8_t>{1, 2, 3}, 1, 1));
    EXPECT_TRUE(decoded.is_decoded());
    EXPECT_EQ((size{3, 3}), decoded.pixel_size());
}

TEST_F(ImageTest, PixelsOfAnEmptyImageCannotBeLockedAndTheLockIsReleased)
{
    image picture;
    picture.reset(); // harmless before any load
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            picture.lock_pixels();
            ADD_FAILURE() << "an empty image handed out pixels";
        } catch (const zk_exception& failure) {
            EXPECT_EQ(std::string("unable to lock the bitmap data"), failure.what());
        }
    }
    ASSERT_TRUE(picture.load(solid_png(2, 2, 9, 9, 9, 255), 1, 1));
    picture.reset();
    EXPECT_FALSE(picture.is_decoded());
    EXPECT_THROW(picture.lock_pixels(), zk_exception);
}

TEST_F(ImageTest, MultiplyOnlyTouchesItsAreaScaledToPixels)
{
    image picture;
    ASSERT_TRUE(picture.load(solid_png(6, 6, 200, 100, 50, 255), 1, 2));
    // Logical (1, 0, 1, 1) at scale 2 is pixels x 2..4 and rows whose index + 1 is 0..2.
    picture.multiply_color({0.5f, 0.5f, 0.5f, 1}, {1, 0, 1, 1});
    EXPECT_TRUE(picture.is_modified());
    EXPECT_EQ((std::array<uint8_t, 4>{25, 50, 100, 255}), pixel_bytes(picture, 2, 0));
    EXPECT_EQ((std::array<uint8_t, 4>{25, 50, 100, 255}), pixel_bytes(picture, 4, 1));
    EXPECT_EQ((std::array<uint8_t, 4>{50, 100, 200, 255}), pixel_bytes(picture, 1, 0));
    EXPECT_EQ((std::array<uint8_t, 4>{50, 100, 200, 255}), pixel_bytes(picture, 5, 0));
    EXPECT_EQ((std::array<uint8_t, 4>{50, 100, 200, 255}), pixel_bytes(picture, 2, 2));
}

class ImageDrawingTest : public ImageTest {
protected:
    drawing_window m_window{120, 90};
};

TEST_F(ImageDrawingTest, DrawsAtLogicalSizeAndPartsAddressPixelsThroughTheScale)
{
    // Left half red, right half blue; 8 x 8 pixels at scale 2 are 4 x 4 units.
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            rgba.insert(rgba.end(), {static_cast<uint8_t>(x < 4 ? 255 : 0), 0,
                                     static_cast<uint8_t>(x < 4 ? 0 : 255), 255});
        }
    }
    image empty;
    // A part names the picture's own pixels whatever the window's scale: at 144 DPI a state
    // frame cut from a strip must not reach into the next frame. Each scale makes its device
    // bitmap afresh, as a window that starts at that scale does.
    for (const int32_t dpi : {144, 96}) {
        SCOPED_TRACE(dpi);
        image picture;
        ASSERT_TRUE(picture.load(png_bytes(8, 8, rgba), 1, 2));
        m_window.set_dpi(dpi, dpi);
        m_window.paint({0, 0, 80, 60}, [&](renderer& target) {
            target.draw_image({10, 10}, picture, 1);
            target.draw_image_part_at({30, 10}, picture, {2, 0, 2, 4}, 1); // the blue half
            target.draw_image_part_at({40, 10}, picture, {0, 0, 2, 4}, 1); // the red half
            target.draw_image_stretched({50, 10, 20, 20}, empty, 1);
        });
        const auto at = [&](float x, float y) {
            return m_window.at(static_cast<int32_t>(x * static_cast<float>(dpi) / 96),
                               static_cast<int32_t>(y * static_cast<float>(dpi) / 96));
        };
        EXPECT_TRUE(looks_like(at(11, 12), {255, 0, 0}));
        EXPECT_TRUE(looks_like(at(13, 12), {0, 0, 255}));
        EXPECT_TRUE(looks_like(at(14.5f, 12), {0, 0, 0})) << "drawn larger than its logical size";
        EXPECT_TRUE(looks_like(at(30.5f, 12), {0, 0, 255}));
        EXPECT_TRUE(looks_like(at(31.5f, 13), {0, 0, 255}));
        EXPECT_TRUE(looks_like(at(40.5f, 12), {255, 0, 0}));
        EXPECT_TRUE(looks_like(at(41.5f, 13), {255, 0, 0})) << "the part reaches past its pixels";
        EXPECT_TRUE(looks_like(at(32.5f, 12), {0, 0, 0}));
        EXPECT_TRUE(looks_like(at(60, 20), {0, 0, 0}));
    }
    EXPECT_FALSE(lists(m_window.painter(), empty));
}

TEST_F(ImageDrawingTest, MultiplyUpdatesADeviceBitmapAlreadyDrawn)
{
    image picture;
    ASSERT_TRUE(picture.load(solid_png(4, 4, 255, 255, 255, 255), 1, 1));
    const auto draw = [&](renderer& target) {
        target.draw_image_stretched({10, 10, 20, 20}, picture, 1);
    };
    m_window.paint({0, 0, 120, 90}, draw);
    EXPECT_TRUE(looks_like(m_window.at(20, 20), {255, 255, 255}));
    ASSERT_EQ(1u, picture.backend().device_bitmaps.size());
    const ID2D1Bitmap* first = picture.backend().device_bitmaps.begin()->second.Get();

    picture.multiply_color({1, 0.5f, 0, 1}, {});
    m_window.paint({0, 0, 120, 90}, draw);
    EXPECT_TRUE(looks_like(m_window.at(20, 20), {255, 127, 0}));
    ASSERT_EQ(1u, picture.backend().device_bitmaps.size());
    EXPECT_EQ(first, picture.backend().device_bitmaps.begin()->second.Get());
}

TEST_F(ImageDrawingTest, RenderersAndImagesUnhookWhicheverSideGoesFirst)
{
    drawing_window second(60, 60);
    auto shared = std::make_unique<image>();
    image survivor;
    ASSERT_TRUE(shared->load(solid_png(4, 4, 0, 255, 0, 255), 1, 1));
    ASSERT_TRUE(survivor.load(solid_png(4, 4, 0, 0, 255, 255), 1, 1));
    const auto draw_both = [&](renderer& target) {
        target.draw_image({0, 0}, *shared, 1);
        target.draw_image({10, 0}, survivor, 1);
    };
    m_window.paint({0, 0, 120, 90}, draw_both);
    second.paint({0, 0, 60, 60}, draw_both);
    EXPECT_EQ(2u, shared->backend().device_bitmaps.size());
    EXPECT_TRUE(lists(*shared, m_window.painter()));
    EXPECT_TRUE(lists(second.painter(), *shared));

    // A renderer that goes first leaves the images without its entry.
    const renderer* gone = &second.painter();
    second.drop_renderer();
    EXPECT_EQ(1u, shared->backend().device_bitmaps.size());
    EXPECT_FALSE(lists(*shared, *gone));
    EXPECT_FALSE(lists(survivor, *gone));

    // An image that goes first leaves the renderer's list without it; the rest still draws.
    const image* dead = shared.get();
    shared.reset();
    const auto& images = m_window.painter().backend().images;
    EXPECT_EQ(images.end(), std::find(images.begin(), images.end(), dead));
    EXPECT_TRUE(lists(m_window.painter(), survivor));
    m_window.paint({0, 0, 120, 90}, [&](renderer& target) {
        target.draw_image({10, 0}, survivor, 1);
    });
    EXPECT_TRUE(looks_like(m_window.at(11, 1), {0, 0, 255}));

    // A reset unhooks too, and the next draw makes a fresh device bitmap.
    survivor.reset();
    EXPECT_FALSE(lists(m_window.painter(), survivor));
    EXPECT_TRUE(survivor.backend().device_bitmaps.empty());
    ASSERT_TRUE(survivor.load(solid_png(4, 4, 255, 0, 0, 255), 1, 1));
    m_window.paint({0, 0, 120, 90}, [&](renderer& target) {
        target.draw_image({10, 0}, survivor, 1);
    });
    EXPECT_TRUE(looks_like(m_window.at(11, 1), {255, 0, 0}));
    EXPECT_TRUE(lists(m_window.painter(), survivor));
}

// A driver update, a GPU reset or a remote desktop reconnect loses the device: EndDraw then
// reports that the target must be made again. Everything made from the old one goes with it,
// the whole window is marked, and the next pass makes a new target. While the device is being
// reset, a pass whose new target is refused draws nothing and the window is painted again
// shortly; the frame that finally draws is whole, at the DPI and in the colours in force.
TEST_F(ImageDrawingTest, ALostDeviceBringsANewTargetAndTheNextFrameDrawsWhole)
{
    image picture;
    ASSERT_TRUE(picture.load(solid_png(4, 4, 0, 255, 0, 255), 1, 1));
    renderer& painter = m_window.painter();
    m_window.set_dpi(144, 144);
    const auto draw = [&](renderer& target) {
        target.draw_image_stretched({10, 10, 20, 20}, picture, 1);
        target.set_fill_color(red);
        target.fill_rect({40, 10, 10, 10});
    };
    m_window.paint({0, 0, 80, 60}, [&](renderer& target) {
        draw(target);
        target.set_stroke(red, 4);
    });
    ASSERT_TRUE(lists(painter, picture));
    ASSERT_EQ(1u, painter.backend().target_generation);

    painter.backend().next_end_draw_result = static_cast<HRESULT>(D2DERR_RECREATE_TARGET);
    m_window.paint({0, 0, 80, 60}, draw);
    EXPECT_FALSE(painter.backend().target);
    EXPECT_FALSE(lists(painter, picture)) << "the old device's bitmap is gone";
    EXPECT_TRUE(picture.backend().device_bitmaps.empty());
    RECT marked{};
    ASSERT_TRUE(GetUpdateRect(m_window.handle(), &marked, FALSE));
    EXPECT_EQ(0, marked.left);
    EXPECT_EQ(0, marked.top);
    EXPECT_EQ(120, marked.right);
    EXPECT_EQ(90, marked.bottom);

    // Everything a pass can ask for, with no target to draw on; a resize meanwhile is kept for
    // the target to come.
    painter.backend().failing_target_creations = 1;
    m_window.set_dpi(144, 144);
    ValidateRect(m_window.handle(), nullptr);
    m_window.paint({0, 0, 80, 60}, [&](renderer& target) {
        draw(target);
        target.set_stroke(red, 4);
        target.draw_rect({0, 0, 20, 20});
        target.draw_line({60, 20}, {75, 20});
        target.fill_rounded_rect({0, 0, 20, 20}, 4);
        target.fill_ellipse({10, 10}, 5, {});
        target.fill_vertical_gradient({0, 0, 20, 20}, red, white);
        target.set_text_color(white);
        target.draw_text({0, 0, 80, 20}, "skipped");
        target.draw_text_clipped({0, 0, 80, 20}, {0, 0, 10, 10}, "skipped");
    });
    EXPECT_FALSE(painter.backend().target);
    EXPECT_EQ(1u, painter.backend().target_generation);
    EXPECT_TRUE(marked_within(m_window.handle(), 5000)) << "the window is painted again";

    // The stroke colour was set before the loss and not since: the new brush carries it.
    m_window.paint({0, 0, 80, 60}, [&](renderer& target) {
        draw(target);
        target.draw_line({60, 20}, {75, 20});
    });
    EXPECT_TRUE(looks_like(m_window.at(30, 30), {0, 255, 0})) << "the image, scaled by 1.5";
    EXPECT_TRUE(looks_like(m_window.at(67, 22), {255, 0, 0}));
    EXPECT_TRUE(looks_like(m_window.at(100, 30), {255, 0, 0})) << "the line in the old colour";
    EXPECT_TRUE(looks_like(m_window.at(100, 40), {0, 0, 0}));
    EXPECT_EQ(2u, painter.backend().target_generation);
    EXPECT_TRUE(lists(painter, picture)) << "a bitmap made on the new device";
}

} // namespace
} // namespace zksdk::ui::win32_test
