// Decode mode: the two lowest bits of every coded byte, moved to the top, become
// "Decoded_1.bmp"; the four lowest, moved to the top and unscrambled, "Decoded_2.bmp".
#include "decode.h"

#include <cstring>

#include "console.h"
#include "file_image.h"
#include "permute.h"

namespace {

mode_result fail(std::string_view message)
{
    say(message);
    return mode_result::failed;
}

mode_result write_decoded(const char* name, const uint8_t* image, uint32_t length)
{
    switch (write_file_image(name, image, length)) {
    case write_status::written: return mode_result::written;
    case write_status::cannot_open: return fail("Can't open file for writing!\n");
    case write_status::cannot_write: return fail("Can't write file!\n");
    }
    return mode_result::failed;
}

bool announce_permutation(const raster_geometry& g)
{
    const bool permutable = is_power_of_two(g.width) && is_power_of_two(g.height);
    say(permutable ? "Hidden file permutation...\n" : "Hidden file permutation not supported!\n");
    return permutable;
}

uint8_t first_of(uint8_t coded) { return uint8_t(coded << 6); }

// vornhold2: reverse_nibble of the four low bits, moved up, is the byte reversal of those bits.
uint8_t second_reversed(uint8_t coded) { return reversed_bytes[coded & 0x0F]; }

uint8_t second_in_order(uint8_t coded) { return uint8_t(coded << 4); }

template <class Second>
void decode_pass(const uint8_t* coded, uint8_t* decoded1, uint8_t* decoded2,
                 const raster_geometry& g, bool permuted, Second second)
{
    // Locals, not g's fields: the stores through the byte pointers could alias them.
    const size_t count = size_t(g.length) - g.offset_raster;
    const size_t stride = g.string_length;
    const size_t pixels = size_t(g.width) * 3;
    size_t done = 0;
    if (permuted) {
        for (uint32_t y = 0; y < g.height; ++y, done += stride) {
            // Decoded_1 of the source row first: reading the row in order brings it into the
            // cache for the gather. Every row is the source of exactly one row.
            const size_t from = size_t(permuted_source_row(coded, y, g) - coded);
            for (size_t i = from; i < from + stride; ++i) decoded1[i] = first_of(coded[i]);
            gather_permuted_row(coded + from, g.width, decoded2 + done, second);
            for (size_t i = done + pixels; i < done + stride; ++i) decoded2[i] = second(coded[i]);
        }
    }
    for (size_t i = done; i < count; ++i) {
        decoded1[i] = first_of(coded[i]);
        decoded2[i] = second(coded[i]);
    }
}

}  // namespace

void decode_rasters_plain(uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                          const raster_geometry& g, coder_build build)
{
    for (size_t j = g.offset_raster; j < g.length; ++j) {
        const uint8_t v = coded_image[j];
        decoded1[j] = uint8_t(v << 6);
        decoded2[j] = build == coder_build::vornhold2 ? uint8_t(reverse_nibble(v & 0x0F) << 4)
                                                      : uint8_t(v << 4);
    }

    if (is_power_of_two(g.width) && is_power_of_two(g.height)) {
        say("Hidden file permutation...\n");
        permute_layer(decoded2, coded_image + g.offset_raster, g);
    } else {
        say("Hidden file permutation not supported!\n");
    }
}

void decode_rasters(const uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                    const raster_geometry& g, coder_build build)
{
    const bool permuted = announce_permutation(g);
    const size_t o = g.offset_raster;
    // Lambdas rather than function pointers, so that the byte rule is inlined into the loops.
    if (build == coder_build::vornhold2)
        decode_pass(coded_image + o, decoded1 + o, decoded2 + o, g, permuted,
                    [](uint8_t coded) { return second_reversed(coded); });
    else
        decode_pass(coded_image + o, decoded1 + o, decoded2 + o, g, permuted,
                    [](uint8_t coded) { return second_in_order(coded); });
}

mode_result decode_mode(uint8_t* coded_image, const raster_geometry& g, coder_build build)
{
    owned_array<uint8_t> decoded2 = allocate_array<uint8_t>(g.length);
    owned_array<uint8_t> decoded1 = decoded2 ? allocate_array<uint8_t>(g.length) : nullptr;
    if (!decoded1) return fail("Not enough memory!\n");

    std::memcpy(decoded2.get(), coded_image, g.offset_raster);
    std::memcpy(decoded1.get(), coded_image, g.offset_raster);
    decode_rasters(coded_image, decoded1.get(), decoded2.get(), g, build);

    say("\nWriting file's...\n");
    if (write_decoded("Decoded_1.bmp", decoded1.get(), g.length) == mode_result::failed)
        return mode_result::failed;
    return write_decoded("Decoded_2.bmp", decoded2.get(), g.length);
}
