// One hidden picture of a coded picture on its own: its field taken from each byte, put back in
// place where encoding scrambled it, in its own bit order, and scaled to the full byte.
#include <cstring>

#include "bmp.h"
#include "fields.h"
#include "permute.h"

vorn_error vorn_extract(const uint8_t* coded, size_t length, vorn_layout layout, int which,
                        uint8_t* picture, size_t picture_length)
{
    const field_rule rule = field_rule_for(layout, which);
    if (!coded || !picture || !rule.picture) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(coded, length, g)) return error;
    if (picture_length < length) return VORN_ERR_BUFFER_TOO_SMALL;

    // The scaled field of every byte value, so that each byte costs a look-up, not a call.
    uint8_t fields_of[256];
    for (unsigned c = 0; c < 256; ++c) fields_of[c] = rule.raw(uint8_t(c));
    const auto field = [&fields_of](uint8_t c) { return fields_of[c]; };
    std::memcpy(picture, coded, g.offset_raster);
    const uint8_t* from = coded + g.offset_raster;
    uint8_t* to = picture + g.offset_raster;
    // Every byte in place first: padding and bytes after the last row are never moved.
    for (size_t i = 0; i < size_t(g.length) - g.offset_raster; ++i) to[i] = field(from[i]);
    if (!rule.picture->scrambled || !scrambles(g)) return VORN_OK;
    for (uint32_t y = 0; y < g.height; ++y) {
        const uint8_t* source = permuted_source_row(from, y, g);
        gather_permuted_row(source, g.width, to + size_t(y) * g.string_length, field);
    }
    return VORN_OK;
}
