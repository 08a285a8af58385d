// The coder: hides up to two pictures in the low bits of a carrier ("Coded.bmp") and takes them
// out again ("Decoded_1.bmp", "Decoded_2.bmp").
//
// Bits of a coded byte, bit 7 first. C4 and C6 are the carrier dithered to 4 or 6 bits, p1 p0
// the hidden-1 value, q3..q0 the 4-bit hidden-2 value, q1 q0 its 2-bit value beside hidden 1.
// * marks a field scrambled by the bit-reversal permutation (when both sides are powers of two):
//
//   hidden pictures  build      bits 7..4  bit 3  bit 2  bit 1  bit 0
//   none             both       C4         0      0      0      0
//   hidden 1 only    both       C6 (6 bits: 7..2)        p1*    p0*
//   hidden 2 only    vornhold   C4         q3*    q2*    q1*    q0*
//   hidden 2 only    vornhold2  C4         q0*    q1*    q2*    q3*
//   both             vornhold   C4         q1     q0     p1*    p0*
//   both             vornhold2  C4         p0*    p1*    q0     q1
#pragma once

#include <cstdint>

#include "bmp.h"

// The two builds of the coder. vornhold2 stores every hidden-2 value with its four bits in
// reverse order and turns them back when decoding; vornhold stores them as they are.
enum class coder_build { vornhold2, vornhold };

enum class mode_result { written, failed };

// The program's entry. Prints its messages, pauses (3000 ms after a failure, 5000 ms after
// success) and returns 0 on every path.
int coder_main(int argc, char** argv, coder_build build);

// Hides "Hidden 1.bmp" and "Hidden 2.bmp" (each when present and matching) in the raster of
// `main_image`, rewriting it in place, and writes it as "Coded.bmp". On `failed` the message has
// been printed already.
mode_result encode_mode(uint8_t* main_image, const raster_geometry& geometry, coder_build build);

// Writes the low bits of a coded picture as "Decoded_1.bmp" and "Decoded_2.bmp". Uses the raster
// of `coded_image` as scratch, so afterwards it no longer holds the coded picture. On `failed`
// the message has been printed already.
mode_result decode_mode(uint8_t* coded_image, const raster_geometry& geometry, coder_build build);

// The four bits of a value 0 to 15 in reverse order.
uint8_t reverse_nibble(uint8_t value);
