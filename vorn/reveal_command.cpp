#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "kit_use.h"
#include "progress_line.h"
#include "terminal.h"

void run_reveal(const options& given, std::ostream& out, std::ostream& err)
{
    const int64_t start = steady_ms();
    progress_line progress(err, !given.quiet && stderr_is_terminal(), start);
    kit::output_format format;
    check(kit::format_for(given.output, format, true));
    check_output(given.output, {given.input}, given.force);

    input_picture input = load_picture(given.input, picture_role::coded, given.limits, progress, given.threads);
    kit::bytes image;
    check(kit::image_of(std::move(input), image));
    check(kit::reveal(image, given.input));

    kit::bytes file;
    check(kit::file_of(std::move(image), format, kit::picture_kind::decoded, given.output, file, progress.reporter(),
                       given.threads));
    progress.step("writing " + given.output);
    write_output(given.output, file, given.force, out);
    if (progress.finish() || given.verbose)
        err << "vorn: wrote " << given.output << " in " << steady_ms() - start << " ms\n";
}
