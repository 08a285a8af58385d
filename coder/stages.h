// The three dithering stages of encoding. Each writes both planes, dithers, and composes its
// result bytes in place over the raster it was given (every byte from offset_raster to the end).
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp.h"
#include "coder.h"

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
                   const raster_geometry& g, coder_build build);

// The carrier to the bits above the hidden ones, written over the main picture's raster.
// `low` is the hidden-2 layer (low_bits 4), else the hidden-1 layer (2), else null (0).
void main_stage(uint8_t* raster, const uint8_t* low, int low_bits, const stage_planes& planes,
                const raster_geometry& g);
