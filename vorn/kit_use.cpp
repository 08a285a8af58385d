#include "kit_use.h"

#include "files.h"
#include "platform.h"

void check(const kit::status& status)
{
    switch (status.kind) {
    case kit::fault::none: return;
    case kit::fault::usage: fail(exit_class::usage, status.text);
    case kit::fault::input: fail(exit_class::input, status.text);
    case kit::fault::output: fail(exit_class::output, status.text);
    case kit::fault::memory: fail(exit_class::memory, status.text);
    }
    fail(exit_class::input, status.text);
}

input_picture load_picture(const std::string& path, picture_role role, const read_limits& limits,
                           progress_line& progress, int threads)
{
    progress.step("reading " + path);
    input_picture picture;
    check(kit::read_picture(read_whole_file(path), path, role, limits, picture, progress.reporter(), threads));
    return picture;
}

void say(std::ostream& err, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) err << "vorn: " << line << "\n";
}

int64_t steady_ms()
{
    return clock_ms();  // the programs' clock, which tests hold still
}
