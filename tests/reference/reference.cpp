// The three dithering stages of encoding, each building on the low bits the one before decided.
//
//   hidden-1 stage: hidden picture 1 to 2 bits (0..3), scrambled when the sides allow it;
//   hidden-2 stage: hidden picture 2 to the 2 bits above those (or to 4 bits when it is alone);
//   main stage:     the carrier to the bits that remain above the hidden ones.
//
// A stage that keeps the k high bits of a byte shifts it left by 16 + k, so that they form the
// low k bits of the value's level (bits 24 and up); m decided low bits go into the fixed plane
// shifted left by 24 - m, directly below the level.
#include "reference.h"

#include "dither.h"
#include "permute_layer.h"

namespace {

void dither(const stage_planes& planes, const raster_geometry& g)
{
    dither_planes(g.width, planes.value, planes.fixed, g.height, g.string_length);
}

}  // namespace

// Hidden picture 1 to two bits per byte, written over its own raster as the hidden-1 layer.
void hidden1_stage(uint8_t* layer, const stage_planes& p, const raster_geometry& g)
{
    for (size_t i = 0; i < p.count; ++i) {
        p.value[i] = int32_t(layer[i]) << 18;
        p.fixed[i] = 0;
    }
    dither(p, g);
    for (size_t i = 0; i < p.count; ++i) layer[i] = kept_bits(p.value[i], 0x3000000, 24, 0x03);
}

// Hidden picture 2 to the hidden-2 layer: two bits above the hidden-1 layer value when
// `hidden1` is given (the combined nibble), otherwise four bits of its own.
void hidden2_stage(uint8_t* layer, const uint8_t* hidden1, const stage_planes& p,
                   const raster_geometry& g, vorn_build build)
{
    for (size_t i = 0; i < p.count; ++i) {
        p.value[i] = int32_t(layer[i]) << (hidden1 ? 18 : 20);
        p.fixed[i] = hidden1 ? int32_t(hidden1[i]) << 22 : 0;
    }
    dither(p, g);
    for (size_t i = 0; i < p.count; ++i) {
        const uint8_t nibble = hidden1
                                   ? uint8_t(hidden1[i] | kept_bits(p.value[i], 0x3000000, 22, 0x0C))
                                   : kept_bits(p.value[i], 0xF000000, 24, 0x0F);
        layer[i] = build == VORN_VORNHOLD2 ? reverse_nibble(nibble) : nibble;
    }
}

// The carrier to the bits above the hidden ones, written over the main picture's raster.
// `low` is the hidden-2 layer (low_bits 4), else the hidden-1 layer (2), else null (0).
void main_stage(uint8_t* raster, const uint8_t* low, int low_bits, const stage_planes& p,
                const raster_geometry& g)
{
    const int shift = low_bits == 2 ? 22 : 20;  // the carrier keeps 6 bits above two, else 4
    for (size_t i = 0; i < p.count; ++i) {
        p.value[i] = int32_t(raster[i]) << shift;
        p.fixed[i] = low ? int32_t(low[i]) << shift : 0;
    }
    dither(p, g);
    const int32_t top = low_bits == 2 ? 0x3F000000 : 0xF000000;
    const uint8_t mask = low_bits == 2 ? 0xFC : 0xF0;
    for (size_t i = 0; i < p.count; ++i)
        raster[i] = uint8_t((low ? low[i] : 0) | kept_bits(p.value[i], top, shift, mask));
}


namespace {

bool permutable(const raster_geometry& g) { return is_power_of_two(g.width) && is_power_of_two(g.height); }

}  // namespace

plain_permutations encode_layers_plain(uint8_t* main_image, uint8_t* hidden1_image,
                                       uint8_t* hidden2_image, const stage_planes& planes,
                                       const raster_geometry& g, vorn_build build)
{
    plain_permutations done;
    uint8_t* layer1 = hidden1_image ? hidden1_image + g.offset_raster : nullptr;
    uint8_t* layer2 = hidden2_image ? hidden2_image + g.offset_raster : nullptr;
    if (layer1) {
        hidden1_stage(layer1, planes, g);
        done.hidden1 = permutable(g);
        if (done.hidden1) permute_layer(hidden1_image, planes.value, g);
    }
    if (layer2) {
        hidden2_stage(layer2, layer1, planes, g, build);
        if (!layer1) {
            done.hidden2 = permutable(g);
            if (done.hidden2) permute_layer(hidden2_image, planes.value, g);
        }
    }
    if (layer2)
        main_stage(main_image + g.offset_raster, layer2, 4, planes, g);
    else
        main_stage(main_image + g.offset_raster, layer1, layer1 ? 2 : 0, planes, g);
    return done;
}

bool decode_rasters_plain(uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                          const raster_geometry& g, vorn_build build)
{
    for (size_t j = g.offset_raster; j < g.length; ++j) {
        const uint8_t v = coded_image[j];
        decoded1[j] = uint8_t(v << 6);
        decoded2[j] = build == VORN_VORNHOLD2 ? uint8_t(reverse_nibble(v & 0x0F) << 4) : uint8_t(v << 4);
    }
    const bool done = permutable(g);
    if (done) permute_layer(decoded2, coded_image + g.offset_raster, g);
    return done;
}
