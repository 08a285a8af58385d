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
    kit::reveal_options asked;
    check(kit::format_for(given.output, asked.format, true));
    check_output(given.output, {given.input}, given.force);
    asked.output_name = given.output;
    asked.max_pixels = given.max_pixels;
    asked.words = kit::vorn_words("");
    asked.report = progress.reporter();
    asked.threads = given.threads;

    progress.step("reading " + given.input);
    kit::bytes revealed;
    check(kit::reveal_picture({given.input, read_whole_file(given.input)}, asked, revealed));
    progress.step("writing " + given.output);
    write_output(given.output, revealed, given.force, out);
    if (progress.finish() || given.verbose)
        err << "vorn: wrote " << given.output << " in " << steady_ms() - start << " ms\n";
}
