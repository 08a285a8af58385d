// The coder's driver: resolves the main picture, reads and checks it, reports its geometry,
// chooses encoding or decoding by the file's base name, and closes the run.
#include <string>

#include "coder.h"
#include "console.h"
#include "file_image.h"
#include "messages.h"

namespace {

constexpr uint32_t failure_pause_ms = 3000;
constexpr uint32_t success_pause_ms = 5000;

int failure_end()
{
    pause_ms(failure_pause_ms);
    return 0;
}

int fail(std::string_view message)
{
    say(message);
    return failure_end();
}

// The part of the path after its last '/' or '\', whichever comes later.
std::string_view base_name(std::string_view path)
{
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace

int coder_main(int argc, char** argv, coder_build build)
{
    const int64_t start = clock_ms();
    std::string path = "Main.bmp";
    if (argc == 2) {
        set_working_folder();
        path = argv[1];
    }
    say(build == coder_build::vornhold2 ? text::banner_vornhold2 : text::banner_vornhold);
    say(text::loading_coder(path));

    file_image main;
    switch (load_file(path, main)) {
    case load_status::loaded: break;
    case load_status::too_long: return fail(text::main_not_supported);
    case load_status::no_memory: return fail(text::not_enough_memory);
    default: return fail(text::cannot_open_main);
    }

    vorn_geometry geometry{};
    switch (vorn_check_carrier(main.bytes.get(), main.length, &geometry)) {
    case VORN_OK: break;
    case VORN_ERR_RASTER_BEYOND_END: return fail(text::main_corrupted);
    default: return fail(text::main_not_supported);
    }
    say(text::geometry(int32_t(geometry.width), int32_t(geometry.height),
                       int32_t(geometry.offset_raster), int32_t(geometry.string_length)));

    const mode_result result = base_name(path) == "Coded.bmp"
                                   ? decode_mode(main.bytes.get(), geometry, build)
                                   : encode_mode(main.bytes.get(), geometry, build);
    if (result == mode_result::failed) return failure_end();

    main.bytes.reset();
    say(text::done);
    say(text::execution_time(clock_ms() - start));
    pause_ms(success_pause_ms);
    return 0;
}
