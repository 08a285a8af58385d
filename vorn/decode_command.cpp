#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
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
    if (wants_password(given))
        asked.password = [&](std::string& password) {
            return typed_password(given, false, std::cin, progress, password);
        };
    // Every picture that may be written is checked before any work; a missing folder named for
    // them is made, as `mkdir -p` would, only once there is something to write into it.
    std::error_code missing;
    const bool folder_exists = given.output.empty() || std::filesystem::exists(given.output, missing);
    if (folder_exists && !given.output.empty() && !std::filesystem::is_directory(given.output, missing))
        check({kit::fault::output, given.output + ": not a folder; -o names the folder the hidden pictures are "
                                                  "written into"});
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
    const kit::status done = kit::take_out_pictures(
        {given.input, read_whole_file(given.input)}, asked,
        [&](kit::taken_picture&& picture) {
            if (!given.output.empty()) {
                std::error_code ignored;
                std::filesystem::create_directories(given.output, ignored);
            }
            const std::string path = kit::hidden_file_name(given.output, picture.which);
            progress.step("writing " + path);
            write_output(path, picture.file, given.force, out);
            written.push_back(path);
            return kit::status();
        },
        taken);
    progress.finish();
    say(err, taken.notes);
    check(done);
    const bool shown = progress.finish();
    for (const std::string& path : written)
        if (given.verbose) err << "vorn: wrote " << path << " (" << taken.form_words << ")\n";
    if (given.verbose || shown) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
}
