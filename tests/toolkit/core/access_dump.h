// The accessibility tree as text, one node a line, indented under its parent: how tests compare
// a window's description with a table, and how a reader sees it.
#pragma once

#include "toolkit/core/accessibility.h"

#include <string>
#include <vector>

namespace zksdk::ui::test {

inline const char* role_name(access_role role)
{
    switch (role) {
    case access_role::client:
        return "client";
    case access_role::dialog:
        return "dialog";
    case access_role::push_button:
        return "push button";
    case access_role::link:
        return "link";
    case access_role::check_button:
        return "check button";
    case access_role::static_text:
        return "static text";
    case access_role::document:
        return "document";
    case access_role::progress_bar:
        return "progress bar";
    case access_role::grouping:
        return "grouping";
    }
    return "?";
}

inline std::string state_names(uint32_t states)
{
    static const std::pair<uint32_t, const char*> names[] = {
        {access_state::focusable, "focusable"}, {access_state::focused, "focused"},
        {access_state::checked, "checked"},     {access_state::disabled, "disabled"},
        {access_state::invisible, "invisible"}, {access_state::read_only, "read-only"},
    };
    std::string text;
    for (const auto& [flag, name] : names) {
        if ((states & flag) != 0)
            text += std::string(text.empty() ? "" : ",") + name;
    }
    return text;
}

// Line breaks shown as \n; long texts cut to their start and their length.
inline std::string quoted(const std::string& text)
{
    std::string shown;
    for (char c : text.size() > 60 ? text.substr(0, 40) : text)
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    if (text.size() > 60)
        shown += "...(" + std::to_string(text.size()) + " bytes)";
    return "\"" + shown + "\"";
}

// Invisible nodes and everything under them are left out unless asked for.
enum class hidden_nodes { left_out, shown };

inline std::string access_dump(const std::vector<access_node>& nodes,
                               hidden_nodes hidden = hidden_nodes::left_out)
{
    std::vector<std::pair<int32_t, int>> depth_of; // id -> depth, for the nodes written
    std::string text;
    for (const access_node& node : nodes) {
        int depth = 0;
        if (node.id != 0) {
            bool parent_written = false;
            for (const auto& [id, parent_depth] : depth_of) {
                if (id == node.parent) {
                    depth = parent_depth + 1;
                    parent_written = true;
                }
            }
            if (!parent_written)
                continue;
        }
        if (hidden == hidden_nodes::left_out && (node.states & access_state::invisible) != 0)
            continue;
        depth_of.emplace_back(node.id, depth);
        text += std::string(2 * depth, ' ') + role_name(node.role) + " " + quoted(node.name);
        if (!node.value.empty())
            text += " = " + quoted(node.value);
        if (node.states != 0)
            text += " [" + state_names(node.states) + "]";
        if (!node.default_action.empty())
            text += " (" + node.default_action + ")";
        text += "\n";
    }
    return text;
}

} // namespace zksdk::ui::test
