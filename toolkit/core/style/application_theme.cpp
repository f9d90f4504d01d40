// Storage of the application theme.
#include "toolkit/core/style/application_theme.h"

namespace zksdk::ui {
namespace {

// Built on first use, so a table read during another source's start-up still finds a map.
style_map& theme_storage()
{
    static style_map theme;
    return theme;
}

} // namespace

void install_theme(const style_map& theme)
{
    theme_storage() = theme;
}

const style_map& application_theme()
{
    return theme_storage();
}

} // namespace zksdk::ui
