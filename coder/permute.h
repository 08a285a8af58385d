// The bit-reversal pixel permutation: pixel (x, y) moves to (x with its log2(width) low bits
// reversed, y with its log2(height) low bits reversed). The map is its own inverse.
#pragma once

#include <cstdint>

#include "bmp.h"

// The low k bits of `value` in reverse order, for size = 2^k with 1 <= k <= 31.
uint32_t reverse_low_bits(uint32_t value, uint32_t size);

// Replaces x and y by their reversals over log2(width) and log2(height) bits.
void bit_reverse_xy(uint32_t& x, uint32_t& y, uint32_t width, uint32_t height);

// True for 2, 4, 8, ..., 2^31: exactly one bit set, and not bit 0.
bool is_power_of_two(uint32_t size);

// Moves every pixel of the raster in `layer` (a file image) to its bit-reversed place. Row
// padding and bytes after the last row stay. `scratch` holds one slot per raster byte
// (length - offset_raster); it is overwritten with a copy of the raster. Both sides of the
// geometry must pass is_power_of_two.
void permute_layer(uint8_t* layer, int32_t* scratch, const raster_geometry& geometry);
void permute_layer(uint8_t* layer, uint8_t* scratch, const raster_geometry& geometry);
