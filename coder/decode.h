// The two decoded rasters of a coded picture, in a plain and a single-pass form.
#pragma once

#include <cstdint>

#include "bmp.h"
#include "coder.h"

// Fills the rasters of both decoded images from the coded picture's (every byte from
// offset_raster to the end) and unscrambles the second where both sides are powers of two,
// printing whether it does. The plain form extracts first and then runs permute_layer, lending
// the coded raster as its scratch; the other reads the coded raster through the permutation in
// the same pass and leaves it unchanged. Both give the same bytes.
void decode_rasters_plain(uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                          const raster_geometry& g, coder_build build);
void decode_rasters(const uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                    const raster_geometry& g, coder_build build);
