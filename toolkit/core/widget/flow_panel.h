// A container that stacks its children along one axis, with spacing and stretch items.
#pragma once

#include "toolkit/core/widget/widget.h"

#include <vector>

namespace zksdk::ui {

enum class flow_direction : int32_t { vertical = 0, horizontal = 1 };
enum class auto_size { off, on };
enum class track_children { off, on };

// Lays out its children one after another; stretch items share the free length. Builders add
// spacing and stretch items and call relayout once their children are in.
class flow_panel : public widget {
public:
    flow_panel(flow_direction direction, auto_size sizing, track_children tracking);

    void add_spacing(int32_t length);
    void add_stretch();
    void relayout();
    virtual void paint();

private:
    enum class item_kind : int32_t { child = 0, stretch = 1, spacing = 2 };
    struct item {
        widget* child = nullptr;
        int32_t length = 0;
        item_kind kind = item_kind::child;
        bool stretch = false;
    };

    void on_created();
    void on_child_added(const event_info& info);
    void on_child_removed(const event_info& info);
    void on_child_resized(const event_info& info);
    void on_resized(const event_info& info);
    void fit_to_parent();
    int32_t main_length(const widget& target) const;

    flow_direction m_direction;
    bool m_has_stretch = false;
    bool m_auto_size;
    bool m_track_children;
    std::vector<item> m_items;
};

} // namespace zksdk::ui
