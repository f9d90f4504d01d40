// The drawing surface of one toolkit window: state plus drawing operations in widget coordinates.
#pragma once

#include "toolkit/core/geometry.h"
#include "toolkit/platform/text_geometry.h"
#include "toolkit/platform/text_run.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace zksdk::ui {

class image;
class native_window;

// set_text_alignment's values.
namespace text_align {
inline constexpr int32_t leading = 0;
inline constexpr int32_t centred = 1;
inline constexpr int32_t trailing = 2;
inline constexpr int32_t middle = 0;
inline constexpr int32_t top = 1;
inline constexpr int32_t bottom = 2;
} // namespace text_align

// Owned by its window (created once the native window exists, destroyed with it); every widget
// draws through its window's renderer while the paint pass has begun it.
class renderer {
public:
    // At the window's client size and DPI. Throws zk_exception ("unable to ...") when the
    // drawing resources cannot be created.
    explicit renderer(native_window& window);
    ~renderer();
    renderer(const renderer&) = delete;
    renderer& operator=(const renderer&) = delete;

    // Client size in pixels and the window's DPI; the scale (dpi / 96) drives the clip rounding.
    void resize(int32_t width, int32_t height, int32_t dpi_x, int32_t dpi_y);

    // geometry: the widget's x, y (relative to its parent), width and height.
    // update: the area to repaint as left, top, right, bottom (in rect's x, y, width, height
    // fields), in the numbers the system reported. The first begin of a pass starts drawing.
    void begin_widget(const void* widget, rect geometry, rect update);
    // Closes the innermost begun widget; the last close of a pass presents the drawing. A pass
    // that cannot draw (its device lost and not back yet) draws nothing, and the window is
    // painted again shortly; when too many passes in a row fail, the first begin or the last
    // end of one throws zk_exception ("unable to ...").
    void end_widget();

    void set_fill_color(color fill);
    void set_text_color(color text);
    void set_stroke(color stroke, float width);
    // 0 solid, 1 dotted, 2 dashed; stays until changed.
    void set_dash(int32_t kind);
    // weight_kind 1 light, 2 bold, else normal; style_kind 1 italic, else normal.
    void set_font(std::string_view family, float size, int32_t weight_kind, int32_t style_kind,
                  bool underline);
    // horizontal 0 leading, 1 centre, 2 trailing (else centre);
    // vertical 0 centre, 1 top, 2 bottom (else centre).
    void set_text_alignment(int32_t horizontal, int32_t vertical);

    // Fills and outlines whose colour has alpha 0 (or outline width <= 0) draw nothing.
    void fill_rect(rect area);
    void fill_rounded_rect(rect area, float radius);
    // A clip of all zero means no clip.
    void fill_ellipse(point centre, float radius, rect clip);
    void fill_vertical_gradient(rect area, color top, color bottom);
    void draw_rect(rect area);
    void draw_line(point from, point to);

    // Text is UTF-8; run indices address its UTF-16 form.
    void draw_text(rect layout, std::string_view text, std::span<const text_run> runs = {});
    void draw_text_clipped(rect layout, rect clip, std::string_view text);
    // A maximum of 0 on an axis is unlimited.
    size measure_text(std::string_view text, size maximum,
                      std::span<const text_run> runs = {}) const;
    // Bounding box of the UTF-16 range [first, end) laid out at (0, 0); all zero for an empty
    // range. The maximum is used as given.
    rect text_range_bounds(std::string_view text, size maximum, std::span<const text_run> runs,
                           int32_t first, int32_t end) const;
    // Where each line of the text lies, laid out at (0, 0) as measure_text lays it out.
    std::vector<text_line_geometry> text_geometry(std::string_view text, size maximum,
                                                  std::span<const text_run> runs = {}) const;

    // Images that were never decoded draw nothing.
    void draw_image(point at, image& picture, float opacity);
    void draw_image_stretched(rect destination, image& picture, float opacity);
    // source is in the image's logical units.
    void draw_image_part(rect destination, image& picture, rect source, float opacity);
    void draw_image_part_at(point at, image& picture, rect source, float opacity);

    // The backend's own state; only the backend's sources know its layout.
    struct impl;
    impl& backend() const { return *m_impl; }

private:
    std::unique_ptr<impl> m_impl;
};

} // namespace zksdk::ui
