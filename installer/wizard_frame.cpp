// The frame under the pages: the same header, banner, background and footer in every installer
// window.
#include "installer/wizard_frame.h"

namespace nimbic {

using namespace zksdk::ui;

namespace {

// Decodes a theme picture on first use; a picture that does not decode stays undecoded and
// the renderer skips it, so the frame still paints.
void DecodeOnce(image& picture, const style_table& style, const style_key& key)
{
    if (picture.is_decoded()) {
        return;
    }
    const style_image value = style.read_image(key);
    if (value.data == nullptr) {
        return;
    }
    picture.load({value.data, static_cast<size_t>(value.length)}, value.frames, value.scale);
}

} // namespace

void WizardFrame::Paint(renderer& target, const style_table& style, int32_t w, int32_t h,
                        const std::string& notice)
{
    const int32_t header = style.read_int("header_size");
    const int32_t footer = style.read_int("footer_size");
    const style_int_pair banner = style.read_int_pair("banner_size");

    target.set_fill_color(style.read_color("main_back_color"));
    target.fill_rect({0, 0, w, header});

    if (!m_logo.is_decoded()) {
        DecodeOnce(m_logo, style, "logo_image");
        m_logo_size = m_logo.logical_size();
    }
    target.draw_image_stretched(
        {28, (header - m_logo_size.height) / 2, m_logo_size.width, m_logo_size.height}, m_logo,
        1.0f);

    target.set_font(style.read_string("header_text_font_name"),
                    style.read_float("header_text_font_size"), 0, 1, false);
    target.set_text_color(style.read_color("header_text_font_color"));
    target.set_text_alignment(0, 0);
    if (!notice.empty()) {
        target.draw_text({w - 260, 0, 260, header}, notice);
    }

    DecodeOnce(m_banner, style, "banner_image");
    target.draw_image_stretched({0, header, banner[0], banner[1]}, m_banner, 1.0f);
    DecodeOnce(m_background, style, "background_image");
    target.draw_image_stretched({banner[0], header, w - banner[0], h - footer - header},
                                m_background, 1.0f);

    target.set_fill_color(style.read_color("main_back_color"));
    target.fill_rect({0, h - footer, w, footer});
}

} // namespace nimbic
