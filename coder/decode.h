// The two decoded rasters of a coded picture, in a plain and a single-pass form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp.h"
#include "coder.h"

// Fills the rasters of both decoded images from the coded picture's (every byte from
// offset_raster to the end), extracting first and then running permute_layer on the second with
// the coded raster lent as its scratch; prints whether it unscrambles. The reference for the
// path below.
void decode_rasters_plain(uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                          const raster_geometry& g, coder_build build);

// The path decode mode takes, in three steps that it interleaves with writing. Prints whether
// Decoded_2 will be unscrambled (both sides powers of two) and says so.
bool announce_decoded_permutation(const raster_geometry& g);

// The bytes of Decoded_1 from file offset `offset` on, `count` of them, into `piece`.
void first_decoded_piece(const uint8_t* coded_image, const raster_geometry& g, size_t offset,
                         size_t count, uint8_t* piece);

// Turns the coded picture into Decoded_2 in place: every raster byte extracted, and the pixels
// moved to their bit-reversed places when `permuted`. `spare` holds 10 * width + 2 bytes,
// 4-byte aligned.
void second_decoded_in_place(uint8_t* coded_image, const raster_geometry& g, coder_build build,
                             bool permuted, uint8_t* spare);
