// The application theme: the process-wide layer between a table's own entries and the defaults.
#pragma once

#include "toolkit/core/style/style_map.h"

namespace zksdk::ui {

// Replaces the whole theme with a copy of the given map; keys of an earlier theme are gone.
void install_theme(const style_map& theme);

// Empty until the program installs a theme. User-interface thread only.
const style_map& application_theme();

} // namespace zksdk::ui
