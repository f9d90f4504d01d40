// What the control tests share: a window to host a control, its drawing, and picture strips.
#pragma once

#include "toolkit/core/style/style_image.h"
#include "toolkit/platform/headless/recording.h"

#include "tests/toolkit/core/toolkit_fixture.h"
#include "tests/toolkit/platform/headless/png_bytes.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zksdk::ui::test {

class ControlTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        m_window = make_window({0, 0, 600, 500});
        headless::set_focus_window(&native());
    }
    native_window& native() { return m_window->native(); }
    widget& root() { return m_window->root(); }

    // The drawing calls one widget makes in a full repaint, without its begin and end.
    std::vector<headless::draw_call> paint_of(const widget& target)
    {
        headless::clear_recording(*headless::renderer_of(native()));
        headless::send_paint(native(), {0, 0, 600, 500});
        std::vector<headless::draw_call> calls;
        for (const headless::draw_call& call : headless::recorded_calls(native())) {
            if (call.widget == &target && call.op != headless::draw_op::begin_widget &&
                call.op != headless::draw_op::end_widget)
                calls.push_back(call);
        }
        return calls;
    }

    // A copy, so that it may outlive the calls it was found in.
    static std::optional<headless::draw_call>
    first_of(const std::vector<headless::draw_call>& calls, headless::draw_op op)
    {
        const auto found =
            std::find_if(calls.begin(), calls.end(),
                         [op](const headless::draw_call& call) { return call.op == op; });
        return found == calls.end() ? std::nullopt : std::optional(*found);
    }

    // A picture `width` wide of `frames` frames, each `frame_height` high; kept alive by the test.
    style_image strip(uint32_t width, uint32_t frame_height, int32_t frames)
    {
        m_pictures.push_back(headless::solid_png(
            width, frame_height * static_cast<uint32_t>(frames), 200, 100, 50, 255));
        return {m_pictures.back().data(), m_pictures.back().size(), frames, 1.0f};
    }

    std::unique_ptr<window> m_window;
    std::vector<std::vector<uint8_t>> m_pictures;
};

} // namespace zksdk::ui::test
