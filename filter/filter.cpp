#include "filter.h"

#include <cstring>
#include <string>

#include "bmp.h"
#include "console.h"
#include "file_image.h"

namespace {

constexpr uint32_t failure_pause_ms = 3000;
constexpr uint32_t success_pause_ms = 30000;

// The header fields the report prints end at byte 26; nothing else is read.
constexpr uint32_t min_input_length = 26;

int fail(std::string_view message)
{
    say(message);
    pause_ms(failure_pause_ms);
    return 0;
}

}  // namespace

void reveal_low_nibble(const uint8_t* input, uint32_t length, uint32_t offset_raster,
                       uint8_t* output)
{
    const uint32_t head = offset_raster < length ? offset_raster : length;
    std::memcpy(output, input, head);
    for (uint32_t i = head; i < length; ++i) output[i] = uint8_t(input[i] << 4);
}

int filter_main(int argc, char** argv)
{
    const int64_t start = clock_ms();
    std::string path = "in_main.bmp";
    if (argc == 2) {
        set_working_folder();
        path = argv[1];
    }
    say("Loading main file...\r\n" + path + "\r\n");

    file_image input;
    switch (load_file(path, input)) {
    case load_status::loaded: break;
    case load_status::too_long: return fail("Main file not supported!\n");
    case load_status::no_memory: return fail("Not enough memory!\n");
    default: return fail("Can't open main file!\n");
    }
    if (input.length < min_input_length) return fail("Main file not supported!\n");

    const uint8_t* bytes = input.bytes.get();
    const int32_t width = read_le32(bytes + 18);
    const int32_t height = read_le32(bytes + 22);
    const int32_t offset_raster = read_le32(bytes + 10);
    // Printed only; computed in 32 bits with wrap-around, as a 32-bit program would.
    const int32_t stride = int32_t(uint32_t(string_length(width)));
    say_geometry(width, height, offset_raster, stride);

    say("Applying filter...\n");
    owned_array<uint8_t> output = allocate_array<uint8_t>(input.length);
    if (!output) return fail("Not enough memory!\n");
    reveal_low_nibble(bytes, input.length, uint32_t(offset_raster), output.get());

    say("\nWriting file...\n");
    switch (write_file_image("out.bmp", output.get(), input.length)) {
    case write_status::written: break;
    case write_status::cannot_open: return fail("Can't open file for writing!\n");
    case write_status::cannot_write: return fail("Can't write file!\n");
    }
    output.reset();
    input.bytes.reset();
    say("Done!\r\n");
    say_execution_time(clock_ms() - start);
    pause_ms(success_pause_ms);
    return 0;
}
