// A hidden picture of the carrier's width and height placed into the carrier's frame: the
// carrier's header and raster layout, the hidden picture's pixels. vorn_fit_hidden() takes this
// way for a picture it need not scale.
#pragma once

#include <cstring>

#include "bmp.h"

namespace {

// The hidden picture's file image as encoding takes it beside this carrier, into `framed`
// (framed_length bytes, at least carrier_length). When vorn_check_hidden() accepts `hidden` it is
// copied as it stands (nothing is copied when framed is hidden itself); otherwise `hidden` must
// be a picture vorn_check_carrier() accepts with the carrier's width and height, and framed
// receives the carrier's first offset_raster bytes with hidden's pixels in the carrier's raster,
// row padding and any bytes after the raster 0. Errors: those of vorn_check_carrier() for either
// picture, VORN_ERR_WIDTH_DIFFERS or VORN_ERR_HEIGHT_DIFFERS, VORN_ERR_BUFFER_TOO_SMALL, and
// VORN_ERR_ARGUMENT when framed is hidden itself but the picture has to be moved.
inline vorn_error frame_hidden(const uint8_t* carrier, size_t carrier_length, const uint8_t* hidden,
                               size_t hidden_length, uint8_t* framed, size_t framed_length)
{
    if (!carrier || !hidden || !framed) return VORN_ERR_ARGUMENT;
    raster_geometry frame{}, own{};
    if (const vorn_error error = check_header(carrier, carrier_length, frame)) return error;
    if (framed_length < carrier_length) return VORN_ERR_BUFFER_TOO_SMALL;
    if (hidden_difference(hidden, hidden_length, frame) == VORN_OK) {
        if (framed != hidden) std::memcpy(framed, hidden, carrier_length);
        return VORN_OK;
    }
    if (const vorn_error error = check_header(hidden, hidden_length, own)) return error;
    if (own.width != frame.width) return VORN_ERR_WIDTH_DIFFERS;
    if (own.height != frame.height) return VORN_ERR_HEIGHT_DIFFERS;
    if (framed == hidden) return VORN_ERR_ARGUMENT;

    // Both rasters store the same rows bottom-up as B G R; only their places and padding differ.
    std::memcpy(framed, carrier, frame.offset_raster);
    std::memset(framed + frame.offset_raster, 0, carrier_length - frame.offset_raster);
    const size_t pixels = size_t(frame.width) * 3;
    for (uint32_t y = 0; pixels > 0 && y < frame.height; ++y)
        std::memcpy(framed + frame.offset_raster + size_t(y) * frame.string_length,
                    hidden + own.offset_raster + size_t(y) * own.string_length, pixels);
    return VORN_OK;
}

}  // namespace
