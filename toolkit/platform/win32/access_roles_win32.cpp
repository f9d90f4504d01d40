// How the toolkit's roles and states read in Active Accessibility and UI Automation.
#include "toolkit/platform/win32/accessibility_impl.h"

namespace zksdk::ui::win32 {

LONG role_of(access_role role)
{
    switch (role) {
    case access_role::client:
        return ROLE_SYSTEM_CLIENT;
    case access_role::dialog:
        return ROLE_SYSTEM_DIALOG;
    case access_role::push_button:
        return ROLE_SYSTEM_PUSHBUTTON;
    case access_role::link:
        return ROLE_SYSTEM_LINK;
    case access_role::check_button:
        return ROLE_SYSTEM_CHECKBUTTON;
    case access_role::static_text:
        return ROLE_SYSTEM_STATICTEXT;
    case access_role::document:
        return ROLE_SYSTEM_DOCUMENT;
    case access_role::progress_bar:
        return ROLE_SYSTEM_PROGRESSBAR;
    case access_role::grouping:
        return ROLE_SYSTEM_GROUPING;
    case access_role::alert:
        return ROLE_SYSTEM_ALERT;
    }
    return ROLE_SYSTEM_CLIENT;
}

LONG states_of(const access_node& node)
{
    static const struct {
        uint32_t ours;
        LONG theirs;
    } flags[] = {{access_state::focusable, STATE_SYSTEM_FOCUSABLE},
                 {access_state::focused, STATE_SYSTEM_FOCUSED},
                 {access_state::checked, STATE_SYSTEM_CHECKED},
                 {access_state::disabled, STATE_SYSTEM_UNAVAILABLE},
                 {access_state::invisible, STATE_SYSTEM_INVISIBLE},
                 {access_state::read_only, STATE_SYSTEM_READONLY},
                 {access_state::default_button, STATE_SYSTEM_DEFAULT},
                 {access_state::offscreen, STATE_SYSTEM_OFFSCREEN}};
    LONG result = node.role == access_role::link ? STATE_SYSTEM_LINKED : 0;
    for (const auto& flag : flags) {
        if ((node.states & flag.ours) != 0) {
            result |= flag.theirs;
        }
    }
    return result;
}

CONTROLTYPEID control_type_of(access_role role)
{
    switch (role) {
    case access_role::client:
        return uia::control_type::pane;
    case access_role::dialog:
        return uia::control_type::window;
    case access_role::push_button:
        return uia::control_type::button;
    case access_role::link:
        return uia::control_type::hyperlink;
    case access_role::check_button:
        return uia::control_type::check_box;
    case access_role::static_text:
    case access_role::alert:
        return uia::control_type::text;
    case access_role::document:
        return uia::control_type::document;
    case access_role::progress_bar:
        return uia::control_type::progress_bar;
    case access_role::grouping:
        return uia::control_type::group;
    }
    return uia::control_type::pane;
}

} // namespace zksdk::ui::win32
