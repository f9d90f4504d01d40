// Scroll arithmetic: every division guarded, so an empty range or a full-track thumb stays put.
#include "toolkit/controls/scroll_geometry.h"

#include <algorithm>
#include <cstdint>

namespace zksdk::ui {

scroll_metrics measure_scroll(int32_t track, int32_t viewport, int32_t content,
                              int32_t content_coordinate, int32_t min_thumb)
{
    scroll_metrics metrics;
    track = std::max(track, 0);
    metrics.range = std::max(0, content - viewport);
    metrics.position = std::min(metrics.range, -content_coordinate);
    const float visible =
        content == 0 ? 1.0f : static_cast<float>(viewport) / static_cast<float>(content);
    const auto share = static_cast<int32_t>(static_cast<float>(track) * visible);
    metrics.thumb_length = std::min(track, std::max(min_thumb, share));
    if (metrics.range > 0) {
        metrics.ratio =
            static_cast<float>(track - metrics.thumb_length) / static_cast<float>(metrics.range);
    }
    metrics.thumb_offset =
        static_cast<int32_t>(static_cast<float>(metrics.position) * metrics.ratio);
    return metrics;
}

std::optional<int32_t> offset_at(int32_t track_distance, float ratio)
{
    if (!(ratio > 0)) {
        return std::nullopt;
    }
    // A tiny ratio on a long content could carry the quotient past what an int32 holds; the
    // bounds stay symmetric so that callers may negate the result.
    const double offset = static_cast<float>(track_distance) / ratio;
    return static_cast<int32_t>(std::clamp(offset, double{-INT32_MAX}, double{INT32_MAX}));
}

int32_t snap_to_step(int32_t value, int32_t step)
{
    return step < 1 ? value : value - value % step;
}

int32_t clamp_coordinate(int32_t coordinate, int32_t range)
{
    return std::max(-range, std::min(0, coordinate));
}

} // namespace zksdk::ui
