// The receiver of files dragged onto a native window from the shell.
#pragma once

#include <string>
#include <vector>

namespace zksdk::ui {

class native_window;

enum class drop_effect { none, move };

// Owned by the native window record; asks the record's client whether a drag is welcome and
// hands it the dropped file paths as the file_drop input.
class native_drop_target {
public:
    explicit native_drop_target(native_window& window);
    native_drop_target(const native_drop_target&) = delete;
    native_drop_target& operator=(const native_drop_target&) = delete;

    // Routes file_drop with extra 1 when welcome, 2 when not.
    drop_effect drag_over();
    void drag_leave();
    // Routes file_drop with extra 0 and the paths of the dropped files (directories already
    // left out by the caller), each "/" turned into "\".
    void drop(std::vector<std::u16string> file_paths);

private:
    native_window& m_window;
};

} // namespace zksdk::ui
