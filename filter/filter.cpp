#include "filter.h"

#include <string>

#include "console.h"
#include "file_image.h"
#include "messages.h"
#include "vorn.h"

namespace {

constexpr uint32_t failure_pause_ms = 3000;
constexpr uint32_t success_pause_ms = 30000;

int fail(std::string_view message)
{
    say(message);
    pause_ms(failure_pause_ms);
    return 0;
}

}  // namespace

int filter_main(int argc, char** argv)
{
    const int64_t start = clock_ms();
    std::string path = "in_main.bmp";
    if (argc == 2) {
        set_working_folder();
        path = argv[1];
    }
    say(text::loading_filter(path));

    file_image input;
    switch (load_file(path, input)) {
    case load_status::loaded: break;
    case load_status::too_long: return fail(text::main_not_supported);
    case load_status::no_memory: return fail(text::not_enough_memory);
    default: return fail(text::cannot_open_main);
    }
    // The fields the report prints end at byte 26; nothing else is read or checked.
    vorn_program_fields fields{};
    if (vorn_program_read_fields(input.bytes.get(), input.length, &fields) != VORN_OK)
        return fail(text::main_not_supported);
    say(text::geometry(fields.width, fields.height, fields.offset_raster, fields.string_length));

    say(text::applying_filter);
    owned_array<uint8_t> output = allocate_array<uint8_t>(input.length);
    if (!output) return fail(text::not_enough_memory);
    vorn_reveal(input.bytes.get(), input.length, output.get(), input.length);

    say(text::writing_file);
    switch (write_file_image("out.bmp", output.get(), input.length)) {
    case write_status::written: break;
    case write_status::cannot_open: return fail(text::cannot_open_output);
    case write_status::cannot_write: return fail(text::cannot_write_output);
    }
    output.reset();
    input.bytes.reset();
    say(text::done);
    say(text::execution_time(clock_ms() - start));
    pause_ms(success_pause_ms);
    return 0;
}
