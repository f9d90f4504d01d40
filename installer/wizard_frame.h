// The painted frame the installer's windows share: the header with the logo and the rights
// notice, the banner, the background behind the pages and the footer band.
#pragma once

#include "toolkit/core/style/style_table.h"
#include "toolkit/platform/image.h"
#include "toolkit/platform/renderer.h"

#include <string>

namespace nimbic {

// The frame's pictures, decoded on first paint; a member of the window that paints it.
class WizardFrame {
public:
    // Paints the frame under the pages of a `width` x `height` client area, with `notice` at the
    // right of the header.
    void Paint(zksdk::ui::renderer& target, const zksdk::ui::style_table& style, int32_t width,
               int32_t height, const std::string& notice);

private:
    zksdk::ui::image m_banner;
    zksdk::ui::image m_background;
    zksdk::ui::image m_logo;
    zksdk::ui::size m_logo_size;
};

// Puts the installer's theme into the style table's application layer (every installer window
// reads through it).
void ApplyWizardTheme();

} // namespace nimbic
