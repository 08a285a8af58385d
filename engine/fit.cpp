// A hidden picture of any size fitted into a carrier's frame: where it lands (contain, cover or
// stretch), and its pixels resampled there by stb_image_resize, in sRGB with its default filters
// (Mitchell when shrinking, Catmull-Rom when enlarging) and the edge pixels repeated.
//
// Rows are resampled as the BMP stores them, bottom-up: the filters are symmetric, so a picture
// flipped, resampled and flipped back is the picture resampled; only the placement is turned
// upside down. The channels are B G R, which the resampler treats alike.
#include <cstring>

#include "bmp.h"
#include "resample.h"
#include "sizes.h"

namespace {

// round(a * b / c) for a, b and c below 2^32, c > 0: the product fits in 64 bits, and so does
// twice the remainder.
uint64_t scaled_round(uint64_t a, uint64_t b, uint64_t c)
{
    const uint64_t product = a * b, quotient = product / c, remainder = product % c;
    return quotient + (remainder * 2 >= c ? 1 : 0);
}

bool known_fit(vorn_fit fit)
{
    return fit == VORN_FIT_CONTAIN || fit == VORN_FIT_COVER || fit == VORN_FIT_STRETCH;
}

// Which axis decides the scale: the picture's width reaches the frame's width first (contain)
// exactly when w/h >= W/H, compared as w*H >= W*h in 64 bits.
bool width_bound(uint32_t width, uint32_t height, uint32_t frame_width, uint32_t frame_height)
{
    return uint64_t(width) * frame_height >= uint64_t(frame_width) * height;
}

}  // namespace

vorn_error vorn_fit_placement(uint32_t width, uint32_t height, uint32_t frame_width,
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

vorn_error vorn_fit_work_size(const vorn_geometry* frame, const vorn_geometry* hidden,
                              vorn_fit fit, size_t* size)
{
    if (!frame || !hidden || !size) return VORN_ERR_ARGUMENT;
    vorn_placement p;
    if (const vorn_error error =
            vorn_fit_placement(hidden->width, hidden->height, frame->width, frame->height, fit, &p))
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
    vorn_fit_placement(own.width, own.height, frame.width, frame.height, fit, &p);
    uint64_t needed = 0;
    const bool scaled = p.scaled_width != p.width || p.scaled_height != p.height;
    if (scaled && !resample_work_bytes(frame, own, p, needed)) return VORN_ERR_SIZE_OVERFLOW;
    if (const vorn_error error = check_work(work, work_size, needed)) return error;
    if (!scaled) {
        // Nothing to scale: the picture goes in as vorn_frame_hidden() places it.
        const vorn_error error =
            vorn_frame_hidden(carrier, carrier_length, hidden, hidden_length, framed, framed_length);
        if (error == VORN_OK && placement) *placement = p;
        return error;
    }
    if (framed_length < carrier_length) return VORN_ERR_BUFFER_TOO_SMALL;
    if (framed == hidden) return VORN_ERR_ARGUMENT;

    // The frame: the carrier's header, black bars, padding and trailing bytes zero.
    std::memcpy(framed, carrier, frame.offset_raster);
    std::memset(framed + frame.offset_raster, 0, carrier_length - frame.offset_raster);
    if (!resample_into(hidden, own, framed, frame, p, work, work_size)) return VORN_ERR_SIZE_OVERFLOW;
    if (placement) *placement = p;
    return VORN_OK;
}
