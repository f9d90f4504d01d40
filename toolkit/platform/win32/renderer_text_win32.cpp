// The Windows renderer's text: DirectWrite layouts built from the default format, the drawing
// state and the styled runs, for drawing, measuring and locating ranges.
#include "toolkit/platform/win32/renderer_impl.h"

#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zksdk::ui {

using Microsoft::WRL::ComPtr;

namespace {

enum class underline_pass { with_underline, without_underline };
enum class run_colours { attach, skip };

std::wstring wide_text(std::string_view text)
{
    const std::u16string units = utf8_to_utf16(text);
    return {units.begin(), units.end()};
}

DWRITE_FONT_WEIGHT weight_of(int32_t kind)
{
    return kind == 1   ? DWRITE_FONT_WEIGHT_LIGHT
           : kind == 2 ? DWRITE_FONT_WEIGHT_BOLD
                       : DWRITE_FONT_WEIGHT_NORMAL;
}

DWRITE_FONT_STYLE style_of(int32_t kind)
{
    return kind == 1 ? DWRITE_FONT_STYLE_ITALIC : DWRITE_FONT_STYLE_NORMAL;
}

void apply_state(const renderer::impl& self, IDWriteTextLayout& layout, UINT32 length,
                 underline_pass underline)
{
    const DWRITE_TEXT_RANGE all{0, length};
    layout.SetFontWeight(static_cast<DWRITE_FONT_WEIGHT>(self.font_weight), all);
    layout.SetFontStyle(static_cast<DWRITE_FONT_STYLE>(self.font_style), all);
    layout.SetFontFamilyName(self.font_family.c_str(), all);
    layout.SetFontSize(self.font_size, all);
    if (underline == underline_pass::with_underline) {
        layout.SetUnderline(self.underline, all);
    }
}

// A run with a colour of its own gets a brush of its own; the layout keeps the only reference.
void attach_colour(const renderer::impl& self, IDWriteTextLayout& layout, const text_run& run,
                   DWRITE_TEXT_RANGE range)
{
    if (run.text_color != color{}) {
        const D2D1_COLOR_F white{1, 1, 1, 1};
        ComPtr<ID2D1SolidColorBrush> brush;
        if (SUCCEEDED(self.target->CreateSolidColorBrush(&white, nullptr, brush.GetAddressOf()))) {
            const color& c = run.text_color;
            const D2D1_COLOR_F own{c.r, c.g, c.b, c.a};
            brush->SetColor(&own);
            layout.SetDrawingEffect(brush.Get(), range);
            return;
        }
    }
    layout.SetDrawingEffect(self.text_brush.Get(), range);
}

void apply_runs(const renderer::impl& self, IDWriteTextLayout& layout,
                std::span<const text_run> runs, run_colours colours)
{
    for (const text_run& run : runs) {
        const DWRITE_TEXT_RANGE range{static_cast<UINT32>(run.first),
                                      static_cast<UINT32>(run.end - run.first)};
        layout.SetFontWeight(weight_of(run.weight_kind), range);
        layout.SetFontStyle(style_of(run.style_kind), range);
        layout.SetFontFamilyName(wide_text(run.family).c_str(), range);
        layout.SetFontSize(run.size, range);
        layout.SetUnderline(run.underline, range);
        if (colours == run_colours::attach) {
            attach_colour(self, layout, run, range);
        }
    }
}

ComPtr<IDWriteTextLayout> create_layout(const renderer::impl& self, const std::wstring& text,
                                        float width, float height)
{
    ComPtr<IDWriteTextLayout> layout;
    if (FAILED(self.write_factory->CreateTextLayout(text.c_str(), static_cast<UINT32>(text.size()),
                                                    self.text_format.Get(), width, height,
                                                    layout.GetAddressOf()))) {
        return nullptr;
    }
    return layout;
}

// The layout that measuring and hit testing share: the state without its underline, the runs
// without their colours.
ComPtr<IDWriteTextLayout> measuring_layout(const renderer::impl& self, const std::wstring& text,
                                           std::span<const text_run> runs, float width,
                                           float height)
{
    ComPtr<IDWriteTextLayout> layout = create_layout(self, text, width, height);
    if (layout) {
        apply_state(self, *layout.Get(), static_cast<UINT32>(text.size()),
                    underline_pass::without_underline);
        apply_runs(self, *layout.Get(), runs, run_colours::skip);
    }
    return layout;
}

// The union of the rectangles a range covers, in layout coordinates.
struct text_box {
    float left = std::numeric_limits<float>::max();
    float top = std::numeric_limits<float>::max();
    float right = std::numeric_limits<float>::lowest();
    float bottom = std::numeric_limits<float>::lowest();

    bool is_empty() const { return left > right; }
    void add(float from_x, float from_y, float to_x, float to_y)
    {
        left = std::min(left, from_x);
        top = std::min(top, from_y);
        right = std::max(right, to_x);
        bottom = std::max(bottom, to_y);
    }
};

rect rounded(const text_box& box)
{
    if (box.is_empty()) {
        return {};
    }
    return {static_cast<int32_t>(std::lround(box.left)), static_cast<int32_t>(std::lround(box.top)),
            static_cast<int32_t>(std::lround(box.right - box.left)),
            static_cast<int32_t>(std::lround(box.bottom - box.top))};
}

// Each line with the x of every unit boundary, placed by the alignment, with trailing white
// space hanging past the edge as DirectWrite lays it out. The units of a cluster start where
// the cluster starts, since a reader never lands inside one.
std::vector<text_line_geometry> geometry_of(IDWriteTextLayout& layout)
{
    std::vector<text_line_geometry> result;
    DWRITE_TEXT_METRICS metrics{};
    UINT32 line_count = 0;
    UINT32 cluster_count = 0;
    if (FAILED(layout.GetMetrics(&metrics))) {
        return result;
    }
    layout.GetLineMetrics(nullptr, 0, &line_count);
    layout.GetClusterMetrics(nullptr, 0, &cluster_count);
    std::vector<DWRITE_LINE_METRICS> lines(line_count);
    std::vector<DWRITE_CLUSTER_METRICS> clusters(cluster_count);
    if (FAILED(layout.GetLineMetrics(lines.data(), line_count, &line_count)) ||
        FAILED(layout.GetClusterMetrics(clusters.data(), cluster_count, &cluster_count))) {
        return result;
    }
    const DWRITE_TEXT_ALIGNMENT alignment = layout.GetTextAlignment();
    const float share = alignment == DWRITE_TEXT_ALIGNMENT_CENTER     ? 0.5f
                        : alignment == DWRITE_TEXT_ALIGNMENT_TRAILING ? 1.0f
                                                                      : 0.0f;
    std::size_t cluster = 0;
    UINT32 line_start = 0;
    float y = metrics.top;
    for (const DWRITE_LINE_METRICS& line : lines) {
        const UINT32 content_end = line_start + line.length - line.trailingWhitespaceLength;
        float content = 0;
        UINT32 at = line_start;
        for (std::size_t i = cluster; i < clusters.size() && at < content_end; ++i) {
            content += clusters[i].width;
            at += clusters[i].length;
        }
        text_line_geometry out;
        out.first = static_cast<int32_t>(line_start);
        out.end = static_cast<int32_t>(line_start + line.length);
        out.top = y;
        out.height = line.height;
        float x = share * (metrics.layoutWidth - content);
        at = line_start;
        for (; cluster < clusters.size() && at < line_start + line.length; ++cluster) {
            const DWRITE_CLUSTER_METRICS& piece = clusters[cluster];
            for (UINT16 unit = 0; unit < piece.length; ++unit) {
                out.edges.push_back(x);
            }
            x += piece.width;
            at += piece.length;
        }
        out.edges.resize(static_cast<std::size_t>(out.end - out.first), x);
        out.edges.push_back(x);
        result.push_back(std::move(out));
        line_start += line.length;
        y += line.height;
    }
    return result;
}

// Where the layout has no range hit testing (Wine's DirectWrite), the same rectangles follow
// from the lines and clusters.
text_box bounds_from_clusters(IDWriteTextLayout& layout, UINT32 first, UINT32 end)
{
    text_box box;
    for (const text_line_geometry& line : geometry_of(layout)) {
        const auto a = std::max(static_cast<int32_t>(first), line.first);
        const auto b = std::min(static_cast<int32_t>(end), line.end);
        if (a < b) {
            box.add(line.edges[static_cast<std::size_t>(a - line.first)], line.top,
                    line.edges[static_cast<std::size_t>(b - line.first)], line.top + line.height);
        }
    }
    return box;
}

float unlimited(int32_t maximum)
{
    return maximum == 0 ? std::numeric_limits<float>::max() : static_cast<float>(maximum);
}

// Draws a layout's glyph runs and underlines through the render target, leaving out the lines
// that fall outside the area being repainted. A long document in a scrolled label is laid out
// whole, and drawing every glyph of it (Wine's Direct2D outlines each one) costs seconds per
// frame where only the visible lines show.
class visible_lines_renderer final : public IDWriteTextRenderer {
public:
    visible_lines_renderer(const renderer::impl& self, float top, float bottom)
        : m_self(self), m_top(top), m_bottom(bottom)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == __uuidof(IUnknown) || id == __uuidof(IDWritePixelSnapping) ||
            id == __uuidof(IDWriteTextRenderer)) {
            *object = static_cast<IDWriteTextRenderer*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of one draw call; the layout holds no reference past it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE IsPixelSnappingDisabled(void*, BOOL* disabled) override
    {
        *disabled = FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentTransform(void*, DWRITE_MATRIX* transform) override
    {
        m_self.target->GetTransform(reinterpret_cast<D2D1_MATRIX_3X2_F*>(transform));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelsPerDip(void*, FLOAT* pixels) override
    {
        float dpi_x = 96.0f;
        float dpi_y = 96.0f;
        m_self.target->GetDpi(&dpi_x, &dpi_y);
        *pixels = dpi_x / 96.0f;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawGlyphRun(void*, FLOAT x, FLOAT y, DWRITE_MEASURING_MODE mode,
                                           const DWRITE_GLYPH_RUN* run,
                                           const DWRITE_GLYPH_RUN_DESCRIPTION*,
                                           IUnknown* effect) override
    {
        // Generous bounds around the baseline: no font reaches two ems above it or one below.
        const float em = run->fontEmSize;
        if (y + em < m_top || y - 2.0f * em > m_bottom) {
            return S_OK;
        }
        m_self.target->DrawGlyphRun({x, y}, run, brush_of(effect), mode);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawUnderline(void*, FLOAT x, FLOAT y, const DWRITE_UNDERLINE* line,
                                            IUnknown* effect) override
    {
        const D2D1_RECT_F box{x, y + line->offset, x + line->width,
                              y + line->offset + line->thickness};
        if (box.bottom >= m_top && box.top <= m_bottom) {
            m_self.target->FillRectangle(&box, brush_of(effect));
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawStrikethrough(void*, FLOAT, FLOAT, const DWRITE_STRIKETHROUGH*,
                                                IUnknown*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawInlineObject(void*, FLOAT, FLOAT, IDWriteInlineObject*, BOOL,
                                               BOOL, IUnknown*) override
    {
        return S_OK;
    }

private:
    // A run's own colour travels as its drawing effect; the rest use the text brush.
    ID2D1Brush* brush_of(IUnknown* effect) const
    {
        ComPtr<ID2D1Brush> own;
        if (effect != nullptr && SUCCEEDED(effect->QueryInterface(IID_PPV_ARGS(&own)))) {
            return own.Get(); // the layout keeps its brushes alive while it draws
        }
        return m_self.text_brush.Get();
    }

    const renderer::impl& m_self;
    float m_top;
    float m_bottom;
};

void draw_layout(const renderer::impl& self, IDWriteTextLayout& layout, rect area)
{
    // The repainted rows, in the coordinates the glyph runs arrive in (the widget's).
    D2D1_MATRIX_3X2_F transform{};
    self.target->GetTransform(&transform);
    const D2D1_SIZE_F client = self.target->GetSize();
    // The update area carries the numbers the widgets invalidated, in DIPs, as the paint pass
    // clips with them; without one (a pass outside WM_PAINT) the whole client counts.
    const RECT& paint = self.paint.rcPaint;
    const bool whole = paint.bottom <= paint.top;
    const float top = whole ? 0.0f : static_cast<float>(paint.top);
    const float bottom =
        whole ? client.height : std::min(client.height, static_cast<float>(paint.bottom));
    visible_lines_renderer lines(self, top - transform._32, bottom - transform._32);
    layout.Draw(nullptr, &lines, static_cast<float>(area.x), static_cast<float>(area.y));
}

} // namespace

void renderer::set_font(std::string_view family, float size, int32_t weight_kind,
                        int32_t style_kind, bool underline)
{
    m_impl->font_family = wide_text(family);
    m_impl->font_size = size;
    m_impl->font_weight = weight_of(weight_kind);
    m_impl->font_style = style_of(style_kind);
    m_impl->underline = underline;
}

void renderer::set_text_alignment(int32_t horizontal, int32_t vertical)
{
    const DWRITE_TEXT_ALIGNMENT across = horizontal == 0   ? DWRITE_TEXT_ALIGNMENT_LEADING
                                         : horizontal == 2 ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                                           : DWRITE_TEXT_ALIGNMENT_CENTER;
    const DWRITE_PARAGRAPH_ALIGNMENT down = vertical == 1   ? DWRITE_PARAGRAPH_ALIGNMENT_NEAR
                                            : vertical == 2 ? DWRITE_PARAGRAPH_ALIGNMENT_FAR
                                                            : DWRITE_PARAGRAPH_ALIGNMENT_CENTER;
    m_impl->text_format->SetTextAlignment(across);
    m_impl->text_format->SetParagraphAlignment(down);
}

void renderer::draw_text(rect layout, std::string_view text, std::span<const text_run> runs)
{
    if (!m_impl->target) {
        return;
    }
    const std::wstring units = wide_text(text);
    ComPtr<IDWriteTextLayout> lines = create_layout(
        *m_impl, units, static_cast<float>(layout.width), static_cast<float>(layout.height));
    if (!lines) {
        return;
    }
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    apply_state(*m_impl, *lines.Get(), static_cast<UINT32>(units.size()),
                underline_pass::with_underline);
    apply_runs(*m_impl, *lines.Get(), runs, run_colours::attach);
    draw_layout(*m_impl, *lines.Get(), layout);
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
}

void renderer::draw_text_clipped(rect layout, rect clip, std::string_view text)
{
    if (!m_impl->target) {
        return;
    }
    const std::wstring units = wide_text(text);
    ComPtr<IDWriteTextLayout> lines = create_layout(
        *m_impl, units, static_cast<float>(layout.width), static_cast<float>(layout.height));
    if (!lines) {
        return;
    }
    const D2D1_RECT_F box{static_cast<float>(clip.x), static_cast<float>(clip.y),
                          static_cast<float>(clip.x + clip.width),
                          static_cast<float>(clip.y + clip.height)};
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    m_impl->target->PushAxisAlignedClip(&box, D2D1_ANTIALIAS_MODE_ALIASED);
    apply_state(*m_impl, *lines.Get(), static_cast<UINT32>(units.size()),
                underline_pass::without_underline);
    draw_layout(*m_impl, *lines.Get(), layout);
    m_impl->target->PopAxisAlignedClip();
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
}

size renderer::measure_text(std::string_view text, size maximum,
                            std::span<const text_run> runs) const
{
    const std::wstring units = wide_text(text);
    ComPtr<IDWriteTextLayout> layout =
        measuring_layout(*m_impl, units, runs, unlimited(maximum.width), unlimited(maximum.height));
    DWRITE_TEXT_METRICS metrics{};
    if (!layout || FAILED(layout->GetMetrics(&metrics))) {
        return {};
    }
    return {static_cast<int32_t>(metrics.widthIncludingTrailingWhitespace + 1),
            static_cast<int32_t>(metrics.height + 1)};
}

rect renderer::text_range_bounds(std::string_view text, size maximum,
                                 std::span<const text_run> runs, int32_t first, int32_t end) const
{
    if (first >= end) {
        return {};
    }
    const std::wstring units = wide_text(text);
    ComPtr<IDWriteTextLayout> layout =
        measuring_layout(*m_impl, units, runs, static_cast<float>(maximum.width),
                         static_cast<float>(maximum.height));
    if (!layout) {
        return {};
    }
    const auto position = static_cast<UINT32>(first);
    const auto length = static_cast<UINT32>(end - first);
    UINT32 count = 0;
    const HRESULT sized = layout->HitTestTextRange(position, length, 0, 0, nullptr, 0, &count);
    if (sized == E_NOTIMPL) {
        return rounded(bounds_from_clusters(*layout.Get(), position, position + length));
    }
    std::vector<DWRITE_HIT_TEST_METRICS> hits(count);
    if (count == 0 ||
        FAILED(layout->HitTestTextRange(position, length, 0, 0, hits.data(), count, &count))) {
        return {};
    }
    text_box box;
    for (const DWRITE_HIT_TEST_METRICS& hit : hits) {
        box.add(hit.left, hit.top, hit.left + hit.width, hit.top + hit.height);
    }
    return rounded(box);
}

std::vector<text_line_geometry> renderer::text_geometry(std::string_view text, size maximum,
                                                        std::span<const text_run> runs) const
{
    const std::wstring units = wide_text(text);
    ComPtr<IDWriteTextLayout> layout =
        measuring_layout(*m_impl, units, runs, unlimited(maximum.width), unlimited(maximum.height));
    return layout ? geometry_of(*layout.Get()) : std::vector<text_line_geometry>{};
}

} // namespace zksdk::ui
