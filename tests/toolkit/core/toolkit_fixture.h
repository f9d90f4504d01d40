// A headless machine, windows and widgets built the way interface code builds them, and a log
// of the events widgets receive.
#pragma once

#include "toolkit/core/event_dispatcher.h"
#include "toolkit/core/widget/widget.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/headless/headless_control.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zksdk::ui::test {

// Whether the builder raises `created` between create and add_child, as builders should.
enum class announcement { raised, skipped };

// Construct, set window and parent, create, announce, attach: the two-step construction.
inline void attach(widget& child, widget& parent, const rect& geometry,
                   announcement announce = announcement::raised)
{
    child.set_window(parent.window());
    child.set_parent(&parent);
    child.create(geometry);
    if (announce == announcement::raised)
        event_dispatcher::instance().emit(&child, event_type::created);
    parent.add_child(&child);
}

// Records "name:event" for the events it is told to watch.
class event_log : public event_object {
public:
    void watch(event_object* sender, const std::string& name,
               std::initializer_list<event_type> types)
    {
        for (event_type type : types)
            event_dispatcher::instance().connect(
                sender, this, type, [this, name](const event_info& info) {
                    entries.push_back(name + ":" + std::to_string(info.type));
                });
    }
    std::string take()
    {
        std::string joined;
        for (const std::string& entry : entries)
            joined += (joined.empty() ? "" : " ") + entry;
        entries.clear();
        return joined;
    }
    std::vector<std::string> entries;
};

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override { headless::reset(); }
    void TearDown() override { captured_widget = nullptr; }

    static std::unique_ptr<window> make_window(const rect& geometry = {0, 0, 400, 300})
    {
        auto created = std::make_unique<window>();
        created->create("Test", geometry, 0);
        return created;
    }
};

} // namespace zksdk::ui::test
