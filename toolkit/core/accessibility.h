// What assistive technology learns about a window: one node per described widget, and the
// changes a window announces. Portable; the platform turns it into its own interfaces.
#pragma once

#include "toolkit/core/geometry.h"

#include <cstdint>
#include <string>

namespace zksdk::ui {

enum class access_role : uint8_t {
    client,
    dialog,
    push_button,
    link,
    check_button,
    static_text,
    document,
    progress_bar,
    grouping,
    alert, // the part of an alert popup that carries its message
};

// Bit flags of access_node::states.
namespace access_state {
constexpr uint32_t focusable = 1;
constexpr uint32_t focused = 2;
constexpr uint32_t checked = 4;
constexpr uint32_t disabled = 8;
constexpr uint32_t invisible = 16;
constexpr uint32_t read_only = 32;
constexpr uint32_t default_button = 64; // Enter presses it wherever the focus is
constexpr uint32_t offscreen = 128;     // there, but scrolled out of sight
} // namespace access_state

// How a reader treats changes of a node's text: `polite` ones are read when it is next quiet.
enum class access_live : uint8_t { off, polite, assertive };

// One described widget (or, with id 0, the window itself), as a snapshot.
struct access_node {
    int32_t id = 0;     // stable for the widget's lifetime, > 0; 0 is the window itself
    int32_t parent = 0; // the nearest described ancestor's id (0: the window)
    access_role role = access_role::grouping;
    std::string name;           // UTF-8
    std::string value;          // a progress bar's "13%"; a document's whole text; else empty
    std::string description;    // what a reader adds after the name: a dialog's message
    double range_value = 0;     // a progress bar's value, 0 to 100
    std::string default_action; // "Press", "Check", "Uncheck", "Jump"; empty when none
    uint32_t states = 0;
    access_live live = access_live::off;
    rect bounds; // window client coordinates, DIPs, clipped to what its ancestors show
    // The widget's place in the paint pass: one drawn later lies on top where they overlap,
    // whatever the reading order says.
    int32_t paint_order = 0;
};

enum class access_event : uint8_t {
    focus,
    state_changed, // checked or not
    name_changed,
    value_changed,
    structure_changed, // a page switch
    alert,             // an alert popup opened; raised on its alert node
    dialog_opened,
    enabled_changed,
    shown,
    hidden,
    live_region_changed, // a live node's text changed
    notification,        // a sentence to read out now, with no node of its own
    text_selection_changed,
};

} // namespace zksdk::ui
