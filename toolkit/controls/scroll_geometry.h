// The arithmetic of a scroll bar: range, thumb size and place, and pointer-to-offset mapping.
#pragma once

#include <cstdint>
#include <optional>

namespace zksdk::ui {

// The scroll state along the bar's axis. Offsets are content units; the thumb is in track units
// from the start of the track.
struct scroll_metrics {
    int32_t range = 0;    // the largest offset: max(0, content - viewport)
    int32_t position = 0; // the current offset
    int32_t thumb_offset = 0;
    int32_t thumb_length = 0;
    float ratio = 0; // track units per content unit; 0 when the thumb cannot move
};

// content_coordinate is the content's x or y in the viewport (0 or negative while scrolled).
// The thumb is as long as the visible share of the track, at least min_thumb, at most the track.
scroll_metrics measure_scroll(int32_t track, int32_t viewport, int32_t content,
                              int32_t content_coordinate, int32_t min_thumb);

// The offset that puts the thumb `track_distance` into the track; empty when the thumb cannot
// move (nothing to scroll, or a thumb as long as the track).
std::optional<int32_t> offset_at(int32_t track_distance, float ratio);

// The value rounded towards zero to a whole number of steps; unchanged for a step below 1.
int32_t snap_to_step(int32_t value, int32_t step);

// The content coordinate for a wanted coordinate: between -range and 0.
int32_t clamp_coordinate(int32_t coordinate, int32_t range);

} // namespace zksdk::ui
