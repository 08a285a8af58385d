// Where a hidden picture of any size lands in a carrier's frame (contain, cover or stretch):
// vorn_fit_hidden() and vorn_fit_work_size() place it with fit_placement(), which vorn_fit_hidden()
// hands out as its placement.
#pragma once

#include <cstdint>

#include "vorn.h"

namespace {

// round(a * b / c) for a, b and c below 2^32, c > 0: the product fits in 64 bits, and so does
// twice the remainder.
inline uint64_t scaled_round(uint64_t a, uint64_t b, uint64_t c)
{
    const uint64_t product = a * b, quotient = product / c, remainder = product % c;
    return quotient + (remainder * 2 >= c ? 1 : 0);
}

inline bool known_fit(vorn_fit fit)
{
    return fit == VORN_FIT_CONTAIN || fit == VORN_FIT_COVER || fit == VORN_FIT_STRETCH;
}

// Which axis decides the scale: the picture's width reaches the frame's width first (contain)
// exactly when w/h >= W/H, compared as w*H >= W*h in 64 bits.
inline bool width_bound(uint32_t width, uint32_t height, uint32_t frame_width, uint32_t frame_height)
{
    return uint64_t(width) * frame_height >= uint64_t(frame_width) * height;
}

// The placement of a width x height picture in a frame_width x frame_height frame. A picture of
// the frame's size, or an empty picture or frame, is not scaled. Sizes are rounded to whole
// pixels, at least one; the odd pixel of a margin goes to the right and the bottom.
// VORN_ERR_ARGUMENT for an unknown fit or a null placement.
inline vorn_error fit_placement(uint32_t width, uint32_t height, uint32_t frame_width,
                                uint32_t frame_height, vorn_fit fit, vorn_placement* placement)
{
    if (!placement || !known_fit(fit)) return VORN_ERR_ARGUMENT;
    // An empty picture or frame has nothing to scale: it is taken as it is.
    vorn_placement p{width, height, width, height, 0, 0};
    const bool empty = width == 0 || height == 0 || frame_width == 0 || frame_height == 0;
    if (!empty && (width != frame_width || height != frame_height)) {
        const bool by_width = width_bound(width, height, frame_width, frame_height);
        if (fit == VORN_FIT_STRETCH) {
            p.scaled_width = frame_width;
            p.scaled_height = frame_height;
        } else if (by_width == (fit == VORN_FIT_CONTAIN)) {
            // The width meets the frame's; the height follows, at least one row.
            p.scaled_width = frame_width;
            p.scaled_height = scaled_round(height, frame_width, width);
        } else {
            p.scaled_height = frame_height;
            p.scaled_width = scaled_round(width, frame_height, height);
        }
        if (p.scaled_width == 0) p.scaled_width = 1;
        if (p.scaled_height == 0) p.scaled_height = 1;
        // Contain rounds within the frame; cover rounds over it: neither may cross.
        if (fit == VORN_FIT_CONTAIN) {
            if (p.scaled_width > frame_width) p.scaled_width = frame_width;
            if (p.scaled_height > frame_height) p.scaled_height = frame_height;
        } else {
            if (p.scaled_width < frame_width) p.scaled_width = frame_width;
            if (p.scaled_height < frame_height) p.scaled_height = frame_height;
        }
        // Centred: the odd pixel of a margin goes to the right and the bottom, and so does the odd
        // pixel cropped (the quotient is taken toward zero).
        p.x = (int64_t(frame_width) - int64_t(p.scaled_width)) / 2;
        p.y = (int64_t(frame_height) - int64_t(p.scaled_height)) / 2;
    }
    *placement = p;
    return VORN_OK;
}

}  // namespace
