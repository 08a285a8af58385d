// Encode mode: loads and checks the hidden pictures, runs the stages in their fixed order
// (streamed row by row), and writes "Coded.bmp".
#include "coder.h"
#include "console.h"
#include "file_image.h"
#include "streamed.h"

namespace {

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

mode_result fail(std::string_view message)
{
    say(message);
    return mode_result::failed;
}

}  // namespace

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

    // Two work buffers, taken before the first stage: the rows of error passed down, and one
    // gathered row of a scrambled layer.
    owned_array<uint32_t> shares = allocate_array<uint32_t>(share_entries(g));
    owned_array<uint8_t> lower = shares ? allocate_array<uint8_t>(lower_row_bytes(g)) : nullptr;
    if (!lower) return fail("Not enough memory!\n");

    encode_layers(main_image, has1 ? hidden1.bytes.get() : nullptr, has2 ? hidden2.bytes.get() : nullptr,
                  {shares.get(), lower.get()}, g, build);

    hidden1.bytes.reset();
    hidden2.bytes.reset();
    shares.reset();
    lower.reset();

    say("\nWriting file...\n");
    switch (write_file_image("Coded.bmp", main_image, g.length)) {
    case write_status::written: return mode_result::written;
    case write_status::cannot_open: return fail("Can't open Coded.bmp for writing!\n");
    case write_status::cannot_write: return fail("Can't write Coded.bmp!\n");
    }
    return mode_result::failed;
}
