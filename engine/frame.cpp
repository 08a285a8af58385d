// A hidden picture placed into a carrier's frame: the carrier's header and raster layout, the
// hidden picture's pixels.
#include <cstring>

#include "bmp.h"

vorn_error vorn_frame_hidden(const uint8_t* carrier, size_t carrier_length, const uint8_t* hidden,
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
