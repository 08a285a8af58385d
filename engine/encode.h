// Encoding streamed row by row: the three dithering stages (hidden 1, hidden 2, main) without
// whole-raster work planes and without moving any layer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp.h"

namespace {

// The rows a stage walks: none when rows hold no bytes, however many the header counts (two
// billion empty rows would otherwise take seconds to walk through for nothing).
inline uint32_t walked_rows(const raster_geometry& g) { return g.string_length == 0 ? 0 : g.height; }

// The bytes of one walked row. A picture without rows walks none, whatever its width says: a
// header may claim a row of two gigabytes over zero rows, and no memory is taken for it.
inline size_t walked_row_bytes(const raster_geometry& g) { return g.height == 0 ? 0 : g.string_length; }

struct stage_rows {
    uint32_t* shares;  // 2 walked rows of entries: the error two stages pass down to the next row
    uint8_t* lower;    // one walked row: a row of a scrambled layer, gathered
};

inline size_t share_entries(const raster_geometry& g) { return walked_row_bytes(g) * 2; }

// The work rows in bytes, in 64 bits: the caller checks that they fit its size_t.
inline uint64_t stage_rows_bytes(const raster_geometry& g)
{
    return uint64_t(walked_row_bytes(g)) * (2 * sizeof(uint32_t) + 1);
}

// Lays the work rows out in a block of stage_rows_bytes(g) bytes, aligned for uint32_t.
inline stage_rows stage_rows_in(void* block, const raster_geometry& g)
{
    uint32_t* shares = static_cast<uint32_t*>(block);
    return {shares, reinterpret_cast<uint8_t*>(shares + share_entries(g))};
}

// Runs the stages over the rasters of the images and writes the coded bytes over the raster of
// `main_image`. A null hidden image is an absent picture. The hidden images' rasters are spent
// afterwards: they are not left as permuted layers.
}  // namespace
