// Serpentine error-diffusion over a raster of scaled colour values.
#pragma once

#include <cstdint>

// Spreads the quantisation error of every pixel entry of `value` onto entries not visited yet.
//
// Entry r*stride + 3x + k is channel k of pixel x in row r. Even rows (row 0 included) are walked
// right to left, odd rows left to right. An entry's quantised value is its top byte with the
// decided low part fixed[i] beneath it, and its error e is the value minus that. Each pixel hands
// e on per channel:
//   down (same column, next row): e/2, or all of e when the pixel is the last of its row;
//   side (next pixel in walking order): all of e in row 0, e/2 in every other row;
//   the last pixel of a row has no side share, the last row no down share.
// Halves truncate toward zero, so an odd error loses one unit. Sums wrap in 32 bits. Row padding,
// the fixed plane and entries at or beyond height*stride are never touched. Allocates nothing.
void dither_planes(uint32_t width, int32_t* value, const int32_t* fixed, uint32_t height,
                   uint32_t stride);
