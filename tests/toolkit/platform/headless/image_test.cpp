// Tests of the headless image: real PNG decoding, premultiplication, frames, pixel locking and
// the colour multiply.
#include "toolkit/platform/image.h"

#include "png_bytes.h"
#include "toolkit/core/zk_exception.h"

#include <gtest/gtest.h>

#include <array>

namespace zksdk::ui::headless {
namespace {

std::array<uint8_t, 4> pixel_at(image& picture, int32_t x, int32_t y)
{
    const pixel_access pixels = picture.lock_pixels();
    const uint8_t* p = pixels.data + y * pixels.stride + x * 4;
    std::array<uint8_t, 4> bgra{p[0], p[1], p[2], p[3]};
    picture.unlock_pixels(pixels);
    return bgra;
}

TEST(Image, DecodesRealPngIntoPremultipliedBgra)
{
    // Two pixels: opaque orange, and half-transparent white.
    const std::vector<uint8_t> bytes = png_bytes(2, 1, {255, 128, 0, 255, 255, 255, 255, 128});
    image picture;
    ASSERT_TRUE(picture.load(bytes, 1, 1));
    EXPECT_TRUE(picture.is_decoded());
    EXPECT_EQ((size{2, 1}), picture.pixel_size());
    EXPECT_EQ((std::array<uint8_t, 4>{0, 128, 255, 255}), pixel_at(picture, 0, 0));
    EXPECT_EQ((std::array<uint8_t, 4>{128, 128, 128, 128}), pixel_at(picture, 1, 0));
    const pixel_access pixels = picture.lock_pixels();
    EXPECT_EQ(8u, pixels.stride);
    EXPECT_EQ(8u, pixels.buffer_size);
    EXPECT_EQ(32u, pixels.bits_per_pixel);
    picture.unlock_pixels(pixels);
}

TEST(Image, NonPngBytesAreRefusedWithoutThrowing)
{
    const std::vector<std::vector<uint8_t>> garbage{
        {}, {1, 2, 3, 4}, std::vector<uint8_t>(64, 0x89), {'G', 'I', 'F', '8', '9', 'a'}};
    for (const auto& bytes : garbage) {
        image picture;
        EXPECT_FALSE(picture.load(bytes, 1, 1));
        EXPECT_FALSE(picture.is_decoded());
    }
    image decoded;
    ASSERT_TRUE(decoded.load(solid_png(3, 3, 0, 0, 0, 255), 1, 1));
    EXPECT_FALSE(decoded.load(std::vector<uint8_t>{1, 2, 3}, 1, 1));
    EXPECT_EQ((size{3, 3}), decoded.pixel_size()) << "a refused load keeps the old picture";
}

TEST(Image, TruncatedPixelDataThrows)
{
    std::vector<uint8_t> bytes = solid_png(40, 40, 9, 9, 9, 255);
    bytes.resize(bytes.size() - 20); // header intact, image data and end chunk cut
    image picture;
    EXPECT_THROW(picture.load(bytes, 1, 1), zk_exception);
    EXPECT_FALSE(picture.is_decoded());
}

TEST(Image, LogicalAndFrameSizesTruncate)
{
    struct size_case {
        size pixels;
        int32_t frames;
        float scale;
        size logical;
        size frame;
    };
    const size_case cases[] = {
        {{32, 96}, 3, 1, {32, 96}, {32, 32}},
        {{48, 144}, 3, 1.5f, {32, 96}, {32, 32}},
        {{25, 25}, 2, 2, {12, 12}, {12, 6}},
        {{10, 10}, 0, 1, {10, 10}, {10, 10}}, // no frame count: one frame
    };
    for (const size_case& c : cases) {
        image picture;
        ASSERT_TRUE(picture.load(
            solid_png(uint32_t(c.pixels.width), uint32_t(c.pixels.height), 1, 1, 1, 255), c.frames,
            c.scale));
        EXPECT_EQ(c.logical, picture.logical_size());
        EXPECT_EQ(c.frame, picture.frame_size());
    }
}

TEST(Image, ColourMultiplyScalesEachByteAndTruncates)
{
    image picture;
    ASSERT_TRUE(picture.load(solid_png(2, 2, 200, 100, 50, 255), 1, 1));
    picture.multiply_color({0.5f, 0.5f, 0.25f, 1}, {});
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 2; ++x) {
            EXPECT_EQ((std::array<uint8_t, 4>{12, 50, 100, 255}), pixel_at(picture, x, y));
        }
    }
    EXPECT_TRUE(picture.is_modified());
}

TEST(Image, ColourMultiplyAreaIsScaledAndMatchesRowsOneBelowTheirIndex)
{
    // A 6 x 6 pixel picture at scale 2; the area (1, 1, 1, 1) becomes pixels (2, 2, 2, 2):
    // columns 2..4 inclusive, rows whose index + 1 is in 2..4, that is rows 1..3.
    image picture;
    ASSERT_TRUE(picture.load(solid_png(6, 6, 100, 100, 100, 255), 1, 2));
    picture.multiply_color({0, 0, 0, 0}, {1, 1, 1, 1});
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            const bool affected = x >= 2 && x <= 4 && y >= 1 && y <= 3;
            SCOPED_TRACE(testing::Message() << x << ", " << y);
            EXPECT_EQ(affected ? 0 : 255, pixel_at(picture, x, y)[3]);
        }
    }
}

TEST(Image, PixelsOfAnEmptyImageCannotBeLocked)
{
    image picture;
    EXPECT_THROW(picture.lock_pixels(), zk_exception);
    picture.reset(); // harmless when never decoded
    ASSERT_TRUE(picture.load(solid_png(1, 1, 1, 1, 1, 255), 1, 1));
    picture.reset();
    EXPECT_FALSE(picture.is_decoded());
    EXPECT_THROW(picture.multiply_color({1, 1, 1, 1}, {}), zk_exception);
    // The lock was released by the throw: locking again must not deadlock.
    EXPECT_THROW(picture.lock_pixels(), zk_exception);
}

} // namespace
} // namespace zksdk::ui::headless
