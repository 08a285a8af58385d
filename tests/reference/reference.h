// The plain reference path of encoding and decoding, which the tests hold the engine's fast path
// to. Each encoding stage fills two whole-raster work planes, dithers them, and composes its
// result bytes in place over the raster it was given (every byte from offset_raster to the end);
// decoding extracts every byte, then permutes the second image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp.h"
#include "encode.h"
#include "layout.h"

struct stage_planes {
    int32_t* value;
    int32_t* fixed;
    size_t count;  // one entry per byte from offset_raster to the end of the file
};

// Hidden picture 1 to two bits per byte (0..3): its raster becomes the hidden-1 layer.
void hidden1_stage(uint8_t* layer, const stage_planes& planes, const raster_geometry& g);

// Hidden picture 2 to the hidden-2 layer: two bits above the hidden-1 layer value when `hidden1`
// is given (the combined nibble), otherwise four bits of its own; reversed in vornhold2.
void hidden2_stage(uint8_t* layer, const uint8_t* hidden1, const stage_planes& planes,
                   const raster_geometry& g, vorn_build build);

// The carrier to the bits above the hidden ones, written over the main picture's raster.
// `low` is the hidden-2 layer (low_bits 4), else the hidden-1 layer (2), else null (0).
void main_stage(uint8_t* raster, const uint8_t* low, int low_bits, const stage_planes& planes,
                const raster_geometry& g);

// Every stage in order, as encoding runs them: hidden 1 (then scrambled), hidden 2 (scrambled
// when it is alone), main. A null hidden image is an absent picture. The coded bytes are written
// over the raster of `main_image`; the hidden images' rasters end as their layers. The value
// plane lends its room to the permutation. Returns which layers were moved.
struct plain_permutations {
    bool hidden1 = false;
    bool hidden2 = false;
};
plain_permutations encode_layers_plain(uint8_t* main_image, uint8_t* hidden1_image,
                                       uint8_t* hidden2_image, const stage_planes& planes,
                                       const raster_geometry& g, vorn_build build);

// Both decoded images from the coded picture's raster (every byte from offset_raster to the end):
// extracted first, then permute_layer on the second with the coded raster lent as its scratch.
// Returns whether the second was unscrambled.
bool decode_rasters_plain(uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                          const raster_geometry& g, vorn_build build);
