#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "kit_use.h"
#include "password.h"
#include "progress_line.h"
#include "terminal.h"

void run_decode(const options& given, std::ostream& out, std::ostream& err)
{
    const int64_t start = steady_ms();
    progress_line progress(err, !given.quiet && stderr_is_terminal(), start);
    kit::take_out_options asked;
    asked.build = given.build;
    asked.holds = given.content;
    asked.password = password_asker(given, false, std::cin, progress, err);
    asked.ask_again = given.password;  // typed at the prompt, where a slip may be typed again
    const bool folder_exists = check_output_folder(given.output);
    asked.before_work = [&](const std::vector<int>& which) {
        for (const int hidden : which)
            if (folder_exists) check_output(kit::hidden_file_name(given.output, hidden), {given.input}, given.force);
        return kit::status();
    };
    asked.raw = given.raw;
    asked.folder = given.output;
    asked.max_pixels = given.max_pixels;
    asked.words = kit::vorn_words("vorn decode " + typed_path(given.input) +
                                  (given.output.empty() ? "" : " -o " + typed_path(given.output)));
    asked.report = progress.reporter();
    asked.threads = given.threads;

    progress.step("reading " + given.input);
    std::vector<std::string> written;
    kit::take_out_outcome taken;
    const kit::status done = kit::take_out_pictures(picture_at(given.input), asked, [&](kit::taken_picture&& picture) {
        written.push_back(kit::hidden_file_name(given.output, picture.which));
        progress.step("writing " + written.back());
        write_into_folder(given.output, written.back(), picture.file, given.force, out);
        return kit::status();
    }, taken);
    progress.finish();
    say(err, taken.notes);
    check(done);
    const bool shown = progress.finish();
    for (const std::string& path : written)
        if (!given.quiet || given.verbose) say(err, {"wrote " + path + " (" + taken.form_words + ")"});
    if (given.verbose || shown) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
}
