// The reveal filter: shows what a file carries in the low four bits of its raster bytes by
// moving them into the high four bits ("in_main.bmp" to "out.bmp").
#pragma once

#include <cstdint>

// The program's entry. Prints its messages, pauses (3000 ms after a failure, 30000 ms after
// success) and returns 0 on every path.
int filter_main(int argc, char** argv);

// Copies the first offset_raster bytes of `input` unchanged (all of it when offset_raster is
// beyond the end), then every later byte shifted left by four bits: out = (in * 16) AND 0xFF.
void reveal_low_nibble(const uint8_t* input, uint32_t length, uint32_t offset_raster,
                       uint8_t* output);
