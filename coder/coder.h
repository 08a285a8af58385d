// The coder program: hides up to two pictures in the low bits of a carrier ("Coded.bmp") and
// takes them out again ("Decoded_1.bmp", "Decoded_2.bmp"). A thin driver over the engine
// (vorn.h): it finds the files, prints the messages, writes the outputs and pauses.
#pragma once

#include <cstdint>

#include "vorn.h"

// The two builds of the coder. vornhold2 stores every hidden-2 value with its four bits in
// reverse order and turns them back when decoding; vornhold stores them as they are.
enum class coder_build { vornhold2, vornhold };

inline vorn_build engine_build(coder_build build)
{
    return build == coder_build::vornhold2 ? VORN_VORNHOLD2 : VORN_VORNHOLD;
}

enum class mode_result { written, failed };

// The program's entry. Prints its messages, pauses (3000 ms after a failure, 5000 ms after
// success) and returns 0 on every path.
int coder_main(int argc, char** argv, coder_build build);

// Hides "Hidden 1.bmp" and "Hidden 2.bmp" (each when present and matching) in the raster of
// `main_image`, rewriting it in place, and writes it as "Coded.bmp". On `failed` the message has
// been printed already.
mode_result encode_mode(uint8_t* main_image, const vorn_geometry& geometry, coder_build build);

// Writes the low bits of a coded picture as "Decoded_1.bmp" and "Decoded_2.bmp". The raster of
// `coded_image` serves as work room: afterwards it holds Decoded_2. On `failed` the message has
// been printed already.
mode_result decode_mode(uint8_t* coded_image, const vorn_geometry& geometry, coder_build build);
