// The headless renderer: records every drawing call with the state in force, measures text with
// the deterministic metrics of text_layout.
#include "toolkit/platform/renderer.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/headless/headless_internals.h"
#include "toolkit/platform/headless/recording.h"
#include "toolkit/platform/headless/text_layout.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace zksdk::ui {

using headless::draw_call;
using headless::draw_op;
using headless::float_box;

namespace {

// A length whose scaled size has a fractional part of one half or more grows by one unit, so
// that the clip and fills cover the last, partly covered pixel.
int32_t rounded_length(int32_t length, float scale)
{
    const float scaled = static_cast<float>(length) * scale;
    return length + static_cast<int32_t>(scaled + 0.5f) - static_cast<int32_t>(scaled);
}

float_box box_of(rect area)
{
    return {static_cast<float>(area.x), static_cast<float>(area.y),
            static_cast<float>(area.x + area.width), static_cast<float>(area.y + area.height)};
}

float unlimited(int32_t maximum)
{
    return maximum == 0 ? std::numeric_limits<float>::max() : static_cast<float>(maximum);
}

headless::text_layout layout_for(const renderer::impl& self, const std::u16string& text,
                                 std::span<const text_run> runs, float width, float height)
{
    return {text,
            self.state.font_size,
            runs,
            width,
            height,
            self.state.horizontal,
            self.state.vertical};
}

} // namespace

renderer::renderer(native_window& window) : m_impl(std::make_unique<impl>(window))
{
    if (!window.is_created()) {
        throw zk_exception("unable to create a d2d render target");
    }
    m_impl->pixels = window.client_pixel_size();
    m_impl->scale_x = static_cast<float>(window.dpi_x()) * (1.0f / 96.0f);
    m_impl->scale_y = static_cast<float>(window.dpi_y()) * (1.0f / 96.0f);
    window.backend().painter = this;
}

renderer::~renderer()
{
    for (image* picture : m_impl->images) {
        picture->drop_renderer(*this);
    }
    if (headless::is_live(&m_impl->window) && m_impl->window.backend().painter == this) {
        m_impl->window.backend().painter = nullptr;
    }
}

void renderer::resize(int32_t width, int32_t height, int32_t dpi_x, int32_t dpi_y)
{
    m_impl->pixels = {width, height};
    m_impl->scale_x = static_cast<float>(dpi_x) * (1.0f / 96.0f);
    m_impl->scale_y = static_cast<float>(dpi_y) * (1.0f / 96.0f);
}

namespace {

draw_call make_call(const renderer::impl& self, draw_op op)
{
    draw_call call;
    call.op = op;
    call.widget = self.widgets.empty() ? nullptr : self.widgets.back();
    call.origin = self.origins.back();
    call.state = self.state;
    return call;
}

} // namespace

void renderer::begin_widget(const void* widget, rect geometry, rect update)
{
    const point parent = m_impl->origins.back();
    m_impl->widgets.push_back(widget);
    m_impl->origins.push_back({parent.x + geometry.x, parent.y + geometry.y});
    draw_call call = make_call(*m_impl, draw_op::begin_widget);
    call.area = geometry;
    call.clip = update;
    call.shape = {0, 0, static_cast<float>(rounded_length(geometry.width, m_impl->scale_x)),
                  static_cast<float>(rounded_length(geometry.height, m_impl->scale_y))};
    m_impl->calls.push_back(std::move(call));
}

void renderer::end_widget()
{
    assert(!m_impl->widgets.empty() && "end_widget without begin_widget");
    m_impl->calls.push_back(make_call(*m_impl, draw_op::end_widget));
    m_impl->widgets.pop_back();
    m_impl->origins.pop_back();
}

void renderer::set_fill_color(color fill)
{
    m_impl->state.fill = fill;
}

void renderer::set_text_color(color text)
{
    m_impl->state.text = text;
}

void renderer::set_stroke(color stroke, float width)
{
    m_impl->state.stroke = stroke;
    m_impl->state.stroke_width = width;
}

void renderer::set_dash(int32_t kind)
{
    m_impl->state.dash = kind;
}

void renderer::set_font(std::string_view family, float size, int32_t weight_kind,
                        int32_t style_kind, bool underline)
{
    auto& state = m_impl->state;
    state.font_family = family;
    state.font_size = size;
    state.font_weight = weight_kind == 1 ? 300 : weight_kind == 2 ? 700 : 400;
    state.italic = style_kind == 1;
    state.underline = underline;
}

void renderer::set_text_alignment(int32_t horizontal, int32_t vertical)
{
    using headless::horizontal_alignment;
    using headless::vertical_alignment;
    auto& state = m_impl->state;
    state.horizontal = horizontal == 0   ? horizontal_alignment::leading
                       : horizontal == 2 ? horizontal_alignment::trailing
                                         : horizontal_alignment::centre;
    state.vertical = vertical == 1   ? vertical_alignment::top
                     : vertical == 2 ? vertical_alignment::bottom
                                     : vertical_alignment::centre;
}

void renderer::fill_rect(rect area)
{
    if (m_impl->state.fill.a == 0) {
        return;
    }
    draw_call call = make_call(*m_impl, draw_op::fill_rect);
    call.area = area;
    call.shape = box_of({area.x, area.y, rounded_length(area.width, m_impl->scale_x),
                         rounded_length(area.height, m_impl->scale_y)});
    m_impl->calls.push_back(std::move(call));
}

void renderer::fill_rounded_rect(rect area, float radius)
{
    if (m_impl->state.fill.a == 0) {
        return;
    }
    draw_call call = make_call(*m_impl, draw_op::fill_rounded_rect);
    call.area = area;
    call.shape = box_of(area);
    call.radius = radius;
    m_impl->calls.push_back(std::move(call));
}

void renderer::fill_ellipse(point centre, float radius, rect clip)
{
    if (m_impl->state.fill.a == 0) {
        return;
    }
    draw_call call = make_call(*m_impl, draw_op::fill_ellipse);
    const auto x = static_cast<float>(centre.x);
    const auto y = static_cast<float>(centre.y);
    call.shape = {x - radius, y - radius, x + radius, y + radius};
    call.from = centre;
    call.radius = radius;
    call.clip = clip;
    m_impl->calls.push_back(std::move(call));
}

void renderer::fill_vertical_gradient(rect area, color top, color bottom)
{
    draw_call call = make_call(*m_impl, draw_op::fill_vertical_gradient);
    call.area = area;
    call.shape = box_of(area);
    call.top = top;
    call.bottom = bottom;
    m_impl->calls.push_back(std::move(call));
}

namespace {

bool outline_visible(const headless::drawing_state& state)
{
    return state.stroke.a != 0 && state.stroke_width > 0;
}

} // namespace

void renderer::draw_rect(rect area)
{
    if (!outline_visible(m_impl->state)) {
        return;
    }
    // The outline runs through the middle of the border.
    const float half = m_impl->state.stroke_width / 2;
    const float_box outer = box_of(area);
    draw_call call = make_call(*m_impl, draw_op::draw_rect);
    call.area = area;
    call.shape = {outer.left + half, outer.top + half, outer.right - half, outer.bottom - half};
    m_impl->calls.push_back(std::move(call));
}

void renderer::draw_line(point from, point to)
{
    if (!outline_visible(m_impl->state)) {
        return;
    }
    // Odd widths fall on pixel centres.
    const float half = m_impl->state.stroke_width / 2;
    const float offset = half - std::trunc(half);
    draw_call call = make_call(*m_impl, draw_op::draw_line);
    call.from = from;
    call.to = to;
    call.shape = {static_cast<float>(from.x) + offset, static_cast<float>(from.y) + offset,
                  static_cast<float>(to.x) + offset, static_cast<float>(to.y) + offset};
    m_impl->calls.push_back(std::move(call));
}

void renderer::draw_text(rect layout, std::string_view text, std::span<const text_run> runs)
{
    draw_call call = make_call(*m_impl, draw_op::draw_text);
    call.area = layout;
    call.shape = box_of(layout);
    call.text = text;
    call.runs.assign(runs.begin(), runs.end());
    m_impl->calls.push_back(std::move(call));
}

void renderer::draw_text_clipped(rect layout, rect clip, std::string_view text)
{
    draw_call call = make_call(*m_impl, draw_op::draw_text_clipped);
    call.area = layout;
    call.shape = box_of(layout);
    call.clip = clip;
    call.text = text;
    call.state.underline = false; // clipped captions never underline
    m_impl->calls.push_back(std::move(call));
}

size renderer::measure_text(std::string_view text, size maximum,
                            std::span<const text_run> runs) const
{
    const std::u16string units = utf8_to_utf16(text);
    const headless::text_layout layout =
        layout_for(*m_impl, units, runs, unlimited(maximum.width), unlimited(maximum.height));
    return {static_cast<int32_t>(layout.width() + 1), static_cast<int32_t>(layout.height() + 1)};
}

rect renderer::text_range_bounds(std::string_view text, size maximum,
                                 std::span<const text_run> runs, int32_t first, int32_t end) const
{
    if (first >= end) {
        return {};
    }
    const std::u16string units = utf8_to_utf16(text);
    const headless::text_layout layout =
        layout_for(*m_impl, units, runs, static_cast<float>(maximum.width),
                   static_cast<float>(maximum.height));
    const float_box box = layout.range_bounds(first, end);
    return {static_cast<int32_t>(std::lround(box.left)), static_cast<int32_t>(std::lround(box.top)),
            static_cast<int32_t>(std::lround(box.right - box.left)),
            static_cast<int32_t>(std::lround(box.bottom - box.top))};
}

std::vector<text_line_geometry> renderer::text_geometry(std::string_view text, size maximum,
                                                        std::span<const text_run> runs) const
{
    const std::u16string units = utf8_to_utf16(text);
    return layout_for(*m_impl, units, runs, unlimited(maximum.width), unlimited(maximum.height))
        .geometry();
}

namespace {

// The device copy of an image is made once per renderer; both sides keep the link so that
// whichever dies first unhooks itself from the other.
void link(renderer& target, image& picture)
{
    auto& images = target.backend().images;
    if (std::find(images.begin(), images.end(), &picture) != images.end()) {
        return;
    }
    images.push_back(&picture);
    picture.backend().renderers.push_back(&target);
}

draw_call image_call(renderer& target, draw_op op, image& picture, float opacity)
{
    link(target, picture);
    draw_call call = make_call(target.backend(), op);
    call.picture = &picture;
    call.opacity = opacity;
    return call;
}

} // namespace

void renderer::draw_image(point at, image& picture, float opacity)
{
    if (!picture.is_decoded()) {
        return;
    }
    draw_call call = image_call(*this, draw_op::draw_image, picture, opacity);
    const size logical = picture.logical_size();
    call.from = at;
    call.area = {at.x, at.y, logical.width, logical.height};
    call.shape = box_of(call.area);
    m_impl->calls.push_back(std::move(call));
}

void renderer::draw_image_stretched(rect destination, image& picture, float opacity)
{
    if (!picture.is_decoded()) {
        return;
    }
    draw_call call = image_call(*this, draw_op::draw_image_stretched, picture, opacity);
    call.area = destination;
    call.shape = box_of(destination);
    m_impl->calls.push_back(std::move(call));
}

void renderer::draw_image_part(rect destination, image& picture, rect source, float opacity)
{
    if (!picture.is_decoded()) {
        return;
    }
    draw_call call = image_call(*this, draw_op::draw_image_part, picture, opacity);
    call.area = destination;
    call.shape = box_of(destination);
    call.source = source;
    m_impl->calls.push_back(std::move(call));
}

void renderer::draw_image_part_at(point at, image& picture, rect source, float opacity)
{
    if (!picture.is_decoded()) {
        return;
    }
    draw_call call = image_call(*this, draw_op::draw_image_part_at, picture, opacity);
    call.from = at;
    call.area = {at.x, at.y, source.width, source.height};
    call.shape = box_of(call.area);
    call.source = source;
    m_impl->calls.push_back(std::move(call));
}

} // namespace zksdk::ui

namespace zksdk::ui::headless {

const std::vector<draw_call>& recorded_calls(const renderer& target)
{
    return target.backend().calls;
}

const std::vector<draw_call>& recorded_calls(const native_window& window)
{
    static const std::vector<draw_call> none;
    const renderer* painter = window.backend().painter;
    return painter != nullptr ? recorded_calls(*painter) : none;
}

void clear_recording(const renderer& target)
{
    target.backend().calls.clear();
}

renderer* renderer_of(const native_window& window)
{
    return window.backend().painter;
}

size renderer_pixel_size(const renderer& target)
{
    return target.backend().pixels;
}

float renderer_scale_x(const renderer& target)
{
    return target.backend().scale_x;
}

float renderer_scale_y(const renderer& target)
{
    return target.backend().scale_y;
}

std::size_t open_widgets(const renderer& target)
{
    return target.backend().widgets.size();
}

} // namespace zksdk::ui::headless
