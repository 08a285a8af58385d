#include <string>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "picture_output.h"

void run_reveal(const options& given, std::ostream& err)
{
    const int64_t start = steady_ms();
    const output_format format = format_for(given.output);
    check_output(given.output, {given.input}, given.force);

    input_picture input = load_picture(given.input, picture_role::coded, given.limits);
    std::vector<uint8_t> image = coder_image(input);
    const vorn_error error = vorn_reveal(image.data(), image.size(), image.data(), image.size());
    if (error != VORN_OK) fail(exit_class::input, given.input + ": " + vorn_strerror(error));

    write_output(given.output, output_bytes(format, std::move(image), given.output, decoded_png_settings), given.force);
    if (given.verbose)
        err << "vorn: wrote " << given.output << " in " << steady_ms() - start << " ms\n";
}
