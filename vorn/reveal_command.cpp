#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "kit_use.h"

void run_reveal(const options& given, std::ostream& err)
{
    const int64_t start = steady_ms();
    kit::output_format format;
    check(kit::format_for(given.output, format));
    check_output(given.output, {given.input}, given.force);

    input_picture input = load_picture(given.input, picture_role::coded, given.limits);
    kit::bytes image;
    check(kit::image_of(std::move(input), image));
    check(kit::reveal(image, given.input));

    kit::bytes file;
    check(kit::file_of(std::move(image), format, kit::picture_kind::decoded, given.output, file));
    write_output(given.output, file, given.force);
    if (given.verbose)
        err << "vorn: wrote " << given.output << " in " << steady_ms() - start << " ms\n";
}
