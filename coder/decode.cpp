// Decode mode: the two lowest bits of every coded byte, moved to the top, become
// "Decoded_1.bmp"; the four lowest, moved to the top and unscrambled, "Decoded_2.bmp".
#include <cstring>

#include "coder.h"
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

}  // namespace

mode_result decode_mode(uint8_t* coded_image, const raster_geometry& g, coder_build build)
{
    owned_array<uint8_t> decoded2 = allocate_array<uint8_t>(g.length);
    owned_array<uint8_t> decoded1 = decoded2 ? allocate_array<uint8_t>(g.length) : nullptr;
    if (!decoded1) return fail("Not enough memory!\n");

    std::memcpy(decoded2.get(), coded_image, g.offset_raster);
    std::memcpy(decoded1.get(), coded_image, g.offset_raster);
    for (size_t j = g.offset_raster; j < g.length; ++j) {
        const uint8_t v = coded_image[j];
        decoded1[j] = uint8_t(v << 6);
        decoded2[j] = build == coder_build::vornhold2 ? uint8_t(reverse_nibble(v & 0x0F) << 4)
                                                      : uint8_t(v << 4);
    }

    if (is_power_of_two(g.width) && is_power_of_two(g.height)) {
        say("Hidden file permutation...\n");
        permute_layer(decoded2.get(), coded_image + g.offset_raster, g);
    } else {
        say("Hidden file permutation not supported!\n");
    }

    say("\nWriting file's...\n");
    if (write_decoded("Decoded_1.bmp", decoded1.get(), g.length) == mode_result::failed)
        return mode_result::failed;
    return write_decoded("Decoded_2.bmp", decoded2.get(), g.length);
}
