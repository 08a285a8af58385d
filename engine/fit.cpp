// A hidden picture of any size fitted into a carrier's frame: where it lands (contain, cover or
// stretch), and its pixels resampled there by stb_image_resize, in sRGB with its default filters
// (Mitchell when shrinking, Catmull-Rom when enlarging) and the edge pixels repeated.
//
// Rows are resampled as the BMP stores them, bottom-up: the filters are symmetric, so a picture
// flipped, resampled and flipped back is the picture resampled; only the placement is turned
// upside down. The channels are B G R, which the resampler treats alike.
#include <algorithm>
#include <cstring>

#include "bmp.h"
#include "frame.h"
#include "placement.h"
#include "resample.h"
#include "sizes.h"

namespace {

// A picture the placement does not scale, but which is not of the frame's size (one side meets
// the frame's and the other, rounded, is its own), copied pixel for pixel to where the placement
// puts it, cropped at the frame's edges. Rows are counted from the top here and stored bottom-up.
void place_unscaled(const uint8_t* hidden, const raster_geometry& own, uint8_t* framed,
                    const raster_geometry& frame, const vorn_placement& p)
{
    const int64_t first_x = p.x < 0 ? -p.x : 0, first_y = p.y < 0 ? -p.y : 0;
    const int64_t end_x = std::min<int64_t>(own.width, int64_t(frame.width) - p.x);
    const int64_t end_y = std::min<int64_t>(own.height, int64_t(frame.height) - p.y);
    if (first_x >= end_x) return;
    const size_t bytes = size_t(end_x - first_x) * 3;
    for (int64_t y = first_y; y < end_y; ++y) {
        const size_t own_row = size_t(own.height - 1 - y), frame_row = size_t(int64_t(frame.height) - 1 - (y + p.y));
        const uint8_t* from = hidden + own.offset_raster + own_row * own.string_length;
        uint8_t* to = framed + frame.offset_raster + frame_row * frame.string_length;
        std::memcpy(to + size_t(first_x + p.x) * 3, from + size_t(first_x) * 3, bytes);
    }
}

}  // namespace

vorn_error vorn_fit_work_size(const vorn_geometry* frame, const vorn_geometry* hidden,
                              vorn_fit fit, size_t* size)
{
    if (!frame || !hidden || !size) return VORN_ERR_ARGUMENT;
    vorn_placement p;
    if (const vorn_error error =
            fit_placement(hidden->width, hidden->height, frame->width, frame->height, fit, &p))
        return error;
    if (p.scaled_width == p.width && p.scaled_height == p.height) return hand_out_size(0, size);
    uint64_t bytes = 0;
    if (!resample_work_bytes(*frame, *hidden, p, bytes)) return VORN_ERR_SIZE_OVERFLOW;
    return hand_out_size(bytes, size);
}

vorn_error vorn_fit_hidden(const uint8_t* carrier, size_t carrier_length, const uint8_t* hidden,
                           size_t hidden_length, vorn_fit fit, uint8_t* framed,
                           size_t framed_length, void* work, size_t work_size,
                           vorn_placement* placement)
{
    if (!carrier || !hidden || !framed || !known_fit(fit)) return VORN_ERR_ARGUMENT;
    raster_geometry frame{}, own{};
    if (const vorn_error error = check_header(carrier, carrier_length, frame)) return error;
    if (const vorn_error error = check_header(hidden, hidden_length, own)) return error;
    vorn_placement p;
    fit_placement(own.width, own.height, frame.width, frame.height, fit, &p);
    uint64_t needed = 0;
    const bool scaled = p.scaled_width != p.width || p.scaled_height != p.height;
    if (scaled && !resample_work_bytes(frame, own, p, needed)) return VORN_ERR_SIZE_OVERFLOW;
    if (const vorn_error error = check_work(work, work_size, needed)) return error;
    const bool frame_size = own.width == frame.width && own.height == frame.height;
    const bool empty = own.width == 0 || own.height == 0 || frame.width == 0 || frame.height == 0;
    if (!scaled && (frame_size || empty)) {
        // The frame's size: the picture goes in as frame_hidden() places it.
        const vorn_error error =
            frame_hidden(carrier, carrier_length, hidden, hidden_length, framed, framed_length);
        if (error == VORN_OK && placement) *placement = p;
        return error;
    }
    if (framed_length < carrier_length) return VORN_ERR_BUFFER_TOO_SMALL;
    if (framed == hidden) return VORN_ERR_ARGUMENT;

    // The frame: the carrier's header, black bars, padding and trailing bytes zero.
    std::memcpy(framed, carrier, frame.offset_raster);
    std::memset(framed + frame.offset_raster, 0, carrier_length - frame.offset_raster);
    if (!scaled)
        place_unscaled(hidden, own, framed, frame, p);
    else if (!resample_into(hidden, own, framed, frame, p, work, work_size))
        return VORN_ERR_SIZE_OVERFLOW;
    if (placement) *placement = p;
    return VORN_OK;
}
