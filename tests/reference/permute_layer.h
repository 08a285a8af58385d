// The bit-reversal permutation done the plain way, pixel by pixel over a whole layer, which the
// engine's row-by-row gathering is held to.
#pragma once

#include <cstdint>

#include "permute.h"

// Replaces x and y by their reversals over log2(width) and log2(height) bits.
void bit_reverse_xy(uint32_t& x, uint32_t& y, uint32_t width, uint32_t height);

// Moves every pixel of the raster in `layer` (a file image) to its bit-reversed place. Row
// padding and bytes after the last row stay. `scratch` holds one slot per raster byte
// (length - offset_raster); it is overwritten with a copy of the raster. Both sides of the
// geometry must pass is_power_of_two.
void permute_layer(uint8_t* layer, int32_t* scratch, const raster_geometry& geometry);
void permute_layer(uint8_t* layer, uint8_t* scratch, const raster_geometry& geometry);
