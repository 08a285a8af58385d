// Decoding in one pass: the first decoded image is made in pieces from the coded picture, then
// the coded picture is turned into the second in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp.h"

// The bytes of Decoded_1 from file offset `offset` on, `count` of them, into `piece`.
void first_decoded_piece(const uint8_t* coded_image, const raster_geometry& g, size_t offset,
                         size_t count, uint8_t* piece);

// The spare room second_decoded_in_place needs when `permuted`: the column table (4 bytes per
// column) and two spare rows of pixels with one byte beyond each. In 64 bits: the caller checks
// that it fits its size_t.
inline uint64_t decode_spare_bytes(const raster_geometry& g)
{
    return g.height == 0 ? 0 : uint64_t(g.width) * 10 + 2;
}

// Turns the coded picture into Decoded_2 in place: every raster byte extracted, and the pixels
// moved to their bit-reversed places when `permuted`. `spare` holds decode_spare_bytes(g)
// bytes, 4-byte aligned.
void second_decoded_in_place(uint8_t* coded_image, const raster_geometry& g, vorn_build build,
                             bool permuted, uint8_t* spare);
