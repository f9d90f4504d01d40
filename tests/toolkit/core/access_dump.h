// The accessibility tree as text, one visible node a line, indented under its parent: how tests
// compare a window's description with a table, and how a reader sees it.
#pragma once

#include "toolkit/core/accessibility.h"

#include <map>
#include <string>
#include <vector>

namespace zksdk::ui::test {

// Line breaks shown as \n; a long text cut to its start and its length.
inline std::string quoted(const std::string& text)
{
    std::string shown;
    for (char c : text.size() > 80 ? text.substr(0, 40) : text)
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    if (text.size() > 80)
        shown += "...(" + std::to_string(text.size()) + " bytes)";
    return "\"" + shown + "\"";
}

// Invisible nodes and everything under them are left out; a document's paragraphs are counted,
// not written out.
inline std::string access_dump(const std::vector<access_node>& nodes)
{
    static const char* roles[] = {"client",       "dialog",      "push button", "link",
                                  "check button", "static text", "document",    "progress bar",
                                  "grouping",     "alert"};
    static const char* states[] = {"focusable", "focused",   "checked", "disabled",
                                   "invisible", "read-only", "default", "offscreen"};
    std::map<int32_t, size_t> depth_of; // the nodes written so far
    std::map<int32_t, int> parts;       // paragraphs under each document
    for (const access_node& node : nodes) {
        if (node.role == access_role::document)
            parts[node.id] = 0;
        else if (parts.count(node.parent) != 0)
            ++parts[node.parent];
    }
    std::string text;
    for (const access_node& node : nodes) {
        const auto parent = depth_of.find(node.parent);
        if ((node.id != 0 && parent == depth_of.end()) ||
            (node.states & access_state::invisible) != 0 || parts.count(node.parent) != 0)
            continue;
        const size_t depth = node.id == 0 ? 0 : parent->second + 1;
        depth_of[node.id] = depth;
        text +=
            std::string(2 * depth, ' ') + roles[static_cast<int>(node.role)] + " " +
            quoted(node.name) + (node.value.empty() ? "" : " = " + quoted(node.value)) +
            (node.description.empty() ? "" : " ~ " + quoted(node.description)) +
            (node.live == access_live::off ? "" : " (live)") +
            (parts.count(node.id) ? " {" + std::to_string(parts[node.id]) + " paragraphs}" : "");
        std::string names;
        for (int bit = 0; bit < 8; ++bit) {
            if ((node.states & (1u << bit)) != 0)
                names += std::string(names.empty() ? "" : ",") + states[bit];
        }
        text += (names.empty() ? "" : " [" + names + "]") +
                (node.default_action.empty() ? "" : " (" + node.default_action + ")") + "\n";
    }
    return text;
}

} // namespace zksdk::ui::test
