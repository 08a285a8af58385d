// Encode mode: three dithering stages, each building on the low bits the one before decided.
//
//   hidden-1 stage: hidden picture 1 to 2 bits (0..3), scrambled when the sides allow it;
//   hidden-2 stage: hidden picture 2 to the 2 bits above those (or to 4 bits when it is alone);
//   main stage:     the carrier to the bits that remain above the hidden ones.
//
// A stage that keeps the k high bits of a byte shifts it left by 16 + k, so that they form the
// low k bits of the value's level (bits 24 and up); m decided low bits go into the fixed plane
// shifted left by 24 - m, directly below the level.
#include "coder.h"
#include "console.h"
#include "dither.h"
#include "file_image.h"
#include "permute.h"

namespace {

// The kept bits of a dithered value v: all of `mask` above `top`, none below 0, otherwise
// (v >> shift) AND mask. Clamping happens here only, never inside the dithering.
uint8_t kept_bits(int32_t v, int32_t top, int shift, uint8_t mask)
{
    if (v > top) return mask;
    if (v < 0) return 0;
    return uint8_t((v >> shift) & mask);
}

struct stage_planes {
    int32_t* value;
    int32_t* fixed;
    size_t count;  // one entry per byte from offset_raster to the end of the file
};

void dither(const stage_planes& planes, const raster_geometry& g)
{
    dither_planes(g.width, planes.value, planes.fixed, g.height, g.string_length);
}

enum class hidden_load { present, absent, no_memory };

hidden_load load_hidden(const char* name, const char* number, const raster_geometry& g,
                        file_image& image)
{
    say(std::string("Loading hidden ") + number + " file...\r\n" + name + "\r\n");
    const std::string cannot_open = std::string("Can't open hidden ") + number + " file!\n";
    const std::string not_supported = std::string("Hidden ") + number + " file not supported!\n";
    switch (load_file(name, image, g.length)) {
    case load_status::loaded: break;
    case load_status::no_memory: return hidden_load::no_memory;
    case load_status::cannot_read: say(cannot_open); return hidden_load::absent;
    default: say(not_supported); return hidden_load::absent;
    }
    if (same_geometry(image.bytes.get(), image.length, g)) return hidden_load::present;
    image.bytes.reset();
    say(not_supported);
    return hidden_load::absent;
}

// Scrambles a layer when both sides are powers of two; the value plane lends its room.
void permute_if_possible(uint8_t* layer_image, const stage_planes& planes,
                         const raster_geometry& g, const char* number)
{
    if (!is_power_of_two(g.width) || !is_power_of_two(g.height)) {
        say(std::string("Hidden ") + number + " file permutation not supported!\n");
        return;
    }
    say(std::string("Hidden ") + number + " permutation...\n");
    permute_layer(layer_image, planes.value, g);
}

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
                   const raster_geometry& g, coder_build build)
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
        layer[i] = build == coder_build::vornhold2 ? reverse_nibble(nibble) : nibble;
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

mode_result fail(std::string_view message)
{
    say(message);
    return mode_result::failed;
}

}  // namespace

uint8_t reverse_nibble(uint8_t value)
{
    return uint8_t((value & 1) << 3 | (value & 2) << 1 | (value & 4) >> 1 | (value & 8) >> 3);
}

mode_result encode_mode(uint8_t* main_image, const raster_geometry& g, coder_build build)
{
    file_image hidden1;
    file_image hidden2;
    const hidden_load load1 = load_hidden("Hidden 1.bmp", "1", g, hidden1);
    if (load1 == hidden_load::no_memory) return fail("Not enough memory!\n");
    const hidden_load load2 = load_hidden("Hidden 2.bmp", "2", g, hidden2);
    if (load2 == hidden_load::no_memory) return fail("Not enough memory!\n");
    const bool has1 = load1 == hidden_load::present;
    const bool has2 = load2 == hidden_load::present;

    const size_t count = size_t(g.length) - g.offset_raster;
    owned_array<int32_t> value = allocate_array<int32_t>(count);
    owned_array<int32_t> fixed = value ? allocate_array<int32_t>(count) : nullptr;
    if (!fixed) return fail("Not enough memory!\n");
    const stage_planes planes{value.get(), fixed.get(), count};

    uint8_t* layer1 = has1 ? hidden1.bytes.get() + g.offset_raster : nullptr;
    uint8_t* layer2 = has2 ? hidden2.bytes.get() + g.offset_raster : nullptr;
    if (has1) {
        say("Hidden 1 dithering...\n");
        hidden1_stage(layer1, planes, g);
        permute_if_possible(hidden1.bytes.get(), planes, g, "1");
    }
    if (has2) {
        say("Hidden 2 dithering...\n");
        hidden2_stage(layer2, layer1, planes, g, build);
        if (!has1) permute_if_possible(hidden2.bytes.get(), planes, g, "2");
    }
    say("Main dithering...\n");
    if (has2)
        main_stage(main_image + g.offset_raster, layer2, 4, planes, g);
    else
        main_stage(main_image + g.offset_raster, layer1, has1 ? 2 : 0, planes, g);

    hidden1.bytes.reset();
    hidden2.bytes.reset();
    value.reset();
    fixed.reset();

    say("\nWriting file...\n");
    switch (write_file_image("Coded.bmp", main_image, g.length)) {
    case write_status::written: return mode_result::written;
    case write_status::cannot_open: return fail("Can't open Coded.bmp for writing!\n");
    case write_status::cannot_write: return fail("Can't write Coded.bmp!\n");
    }
    return mode_result::failed;
}
