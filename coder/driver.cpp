// The coder's driver: resolves the main picture, reads and checks it, reports its geometry,
// chooses encoding or decoding by the file's base name, and closes the run.
#include <string>

#include "coder.h"
#include "console.h"
#include "file_image.h"

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
    say(build == coder_build::vornhold2 ? "Vornhold 2\n" : "Vornhold\n");
    say("Loading main file...\n" + path + "\n");

    file_image main;
    switch (load_file(path, main)) {
    case load_status::loaded: break;
    case load_status::too_long: return fail("Main file not supported!\n");
    case load_status::no_memory: return fail("Not enough memory!\n");
    default: return fail("Can't open main file!\n");
    }

    raster_geometry geometry{};
    switch (check_main_header(main.bytes.get(), main.length, geometry)) {
    case header_check::accepted: break;
    case header_check::not_supported: return fail("Main file not supported!\n");
    case header_check::corrupted: return fail("Main file corrupted!\n");
    }
    say_geometry(int32_t(geometry.width), int32_t(geometry.height),
                 int32_t(geometry.offset_raster), int32_t(geometry.string_length));

    const mode_result result = base_name(path) == "Coded.bmp"
                                   ? decode_mode(main.bytes.get(), geometry, build)
                                   : encode_mode(main.bytes.get(), geometry, build);
    if (result == mode_result::failed) return failure_end();

    main.bytes.reset();
    say("Done!\r\n");
    say_execution_time(clock_ms() - start);
    pause_ms(success_pause_ms);
    return 0;
}
