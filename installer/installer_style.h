// The style settings the wizard's builders share: empty values, redirect sets, button looks.
#pragma once

#include "toolkit/controls/generic_button.h"
#include "toolkit/core/style/style_key.h"
#include "toolkit/core/widget/widget.h"
#include "toolkit/core/window/window.h"

#include <initializer_list>
#include <string_view>

namespace nimbic {

class NotificationPopup;

// Key `from` of a widget reads key `to` wherever it is looked up.
struct StyleRedirect {
    zksdk::ui::style_key from;
    zksdk::ui::style_key to;
};

void Redirect(zksdk::ui::widget& target, std::initializer_list<StyleRedirect> redirects);
// An empty own value: the key reads as no colour (nothing drawn) whatever the theme says.
void SetNone(zksdk::ui::widget& target, const zksdk::ui::style_key& key);

// Label looks used on several pages.
void StyleTitleLabel(zksdk::ui::widget& label);
void StyleIntroLabel(zksdk::ui::widget& label);
void StyleVersionLineLabel(zksdk::ui::widget& label);

// Footer and link looks.
void StyleBackButton(zksdk::ui::generic_button& button);
void StyleNextButton(zksdk::ui::generic_button& button);
void StyleFooterLink(zksdk::ui::generic_button& link);
void StyleWelcomeLink(zksdk::ui::generic_button& link);

// A failure's popup (the error margins, heard as an alert), set up over `owner`.
void SetupFailurePopup(NotificationPopup& popup, zksdk::ui::window* owner, std::string_view title,
                       std::string_view message);

} // namespace nimbic
