// The three dithering stages of encoding, in their plain form: each fills two whole-raster work
// planes, dithers them, and composes its result bytes in place over the raster it was given
// (every byte from offset_raster to the end). This is the reference for the streamed form in
// streamed.h, which the coder runs.
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

// The kept bits of a dithered value v: all of `mask` above `top`, none below 0, otherwise
// (v >> shift) AND mask. Clamping happens here only, never inside the dithering.
constexpr uint8_t kept_bits(int32_t v, int32_t top, int shift, uint8_t mask)
{
    if (v > top) return mask;
    if (v < 0) return 0;
    return uint8_t((v >> shift) & mask);
}

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

// Prints whether the layer of hidden picture `number` ("1" or "2") can be scrambled, and returns
// that: both sides must be powers of two.
bool announce_permutation(const raster_geometry& g, const char* number);

// Every stage in order, with its messages, as encoding runs them: hidden 1 (then scrambled),
// hidden 2 (scrambled when it is alone), main. A null hidden image is an absent picture. The
// coded bytes are written over the raster of `main_image`; the hidden images' rasters end as
// their layers. The value plane lends its room to the permutation.
void encode_layers_plain(uint8_t* main_image, uint8_t* hidden1_image, uint8_t* hidden2_image,
                         const stage_planes& planes, const raster_geometry& g, coder_build build);
