#include <iostream>
#include <string>

#include "commands.h"
#include "files.h"
#include "kit_use.h"
#include "password.h"
#include "progress_line.h"
#include "terminal.h"

void run_encode(const options& given, std::ostream& out, std::ostream& err)
{
    const int64_t start = steady_ms();
    progress_line progress(err, !given.quiet && stderr_is_terminal(), start);
    kit::hide_options asked;
    check(kit::format_for(given.output, asked.format));
    check_output(given.output, {given.input, given.hidden1, given.hidden2}, given.force);
    if (given.classic) asked.form = kit::hiding_form::classic;
    if (given.compact) asked.form = kit::hiding_form::compact;
    if (given.stealth) asked.form = kit::hiding_form::stealth;
    asked.carrier_bits = given.carrier_bits;
    asked.build = given.build.value_or(VORN_VORNHOLD2);
    asked.fit = given.fit;
    asked.password = password_asker(given, true, std::cin, progress, err);
    asked.output_name = given.output;
    asked.max_pixels = given.max_pixels;
    const std::string coded_name = given.output == "-" ? std::string("CODED") : typed_path(given.output);
    asked.words = kit::vorn_words("vorn decode " + coded_name);
    asked.report = progress.reporter();
    asked.threads = given.threads;

    progress.step("reading the pictures");
    kit::hide_outcome hidden;
    const kit::status done = kit::hide_pictures(picture_at(given.input), picture_if_named(given.hidden1),
                                                picture_if_named(given.hidden2), asked, hidden);
    progress.finish();
    say(err, hidden.notes);
    check(done);
    progress.step("writing " + given.output);
    write_output(given.output, hidden.coded, given.force, out);
    const bool shown = progress.finish();
    if (given.verbose) say(err, hidden.report);
    if (hidden.taking_out)
        err << "vorn: to take them out: " << asked.words.decode << (hidden.taking_out->empty() ? "" : " ")
            << *hidden.taking_out << "\n";
    if (given.verbose || shown)
        err << "vorn: wrote " << given.output << " (" << kit::size_text(hidden.width, hidden.height) << ", "
            << hidden.form_words << ") in " << steady_ms() - start << " ms\n";
}
