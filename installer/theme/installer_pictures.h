// The installer theme's pictures: PNG files from installer/theme/pictures compiled in by a
// source generated at build time.
#pragma once

#include <span>

namespace nimbic::pictures {

extern const std::span<const unsigned char> banner_image;          // 450 x 500, scale 1
extern const std::span<const unsigned char> background_image;      // 576 x 494, scale 1
extern const std::span<const unsigned char> logo_image;            // 236 x 72, scale 2
extern const std::span<const unsigned char> checkbox_image;        // 14 x 28, 2 frames
extern const std::span<const unsigned char> installed_check_image; // 38 x 72, 2 frames, scale 2

} // namespace nimbic::pictures
