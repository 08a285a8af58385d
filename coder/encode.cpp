// Encode mode: loads and checks the hidden pictures, runs the stages in their fixed order,
// scrambles the lowest hidden layer where the sides allow it, and writes "Coded.bmp".
#include "coder.h"
#include "console.h"
#include "file_image.h"
#include "permute.h"
#include "stages.h"

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
