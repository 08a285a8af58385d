#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "files.h"
#include "kit_use.h"
#include "password.h"
#include "progress_line.h"
#include "side_by_side.h"
#include "terminal.h"

namespace {

// A path as a shell takes it back: as it is when it holds nothing a shell reads otherwise, else
// in single quotes (a quote inside written '\'').
std::string typed(const std::string& path)
{
    const bool plain = !path.empty() && path.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                                "0123456789_-+.,/:@%=") == std::string::npos;
    if (plain) return path;
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

void run_decode(const options& given, std::ostream& out, std::ostream& err)
{
    const int64_t start = steady_ms();
    progress_line progress(err, !given.quiet && stderr_is_terminal(), start);
    input_picture input = load_picture(given.input, picture_role::coded, given.limits, progress, given.threads);
    kit::bytes coded;
    check(kit::image_of(std::move(input), coded));

    kit::decode_request request;
    request.build = given.build;
    request.holds = given.content;
    request.keyed = wants_password(given);
    request.threads = given.threads;
    request.command = "vorn decode " + typed(given.input) + (given.output.empty() ? "" : " -o " + typed(given.output));
    request.limits = given.limits;
    kit::decode_plan plan;
    check(kit::plan_decode(coded, given.input, request, plan));

    // Every picture that may be written is checked before any work (a keyed or compact picture's
    // contents are known only once it is open, so both names are checked then); a missing folder
    // named for them is made, as `mkdir -p` would, only once there is something to write into it.
    std::error_code missing;
    const bool folder_exists = given.output.empty() || std::filesystem::exists(given.output, missing);
    std::string paths[2];
    for (int which = 1; which <= 2; ++which)
        if (request.keyed || plan.compact || vorn_layout_holds(plan.layout, which)) {
            paths[which - 1] = kit::hidden_file_name(given.output, which);
            if (folder_exists) check_output(paths[which - 1], {given.input}, given.force);
        }

    std::string password;
    if (request.keyed) password = password_for(given, false, std::cin);
    kit::decode_result result;
    const kit::status taken = kit::decode(std::move(coded), given.input, request, request.keyed ? &password : nullptr,
                                          given.raw, result, progress.reporter());
    kit::wipe(password);
    progress.finish();
    say(err, result.notes);
    check(taken);

    if (!given.output.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(given.output, ignored);
    }
    // Each picture in turn is compressed into its PNG on every thread and written, letting go of it.
    std::vector<std::function<void()>> jobs;
    for (int which = 1; which <= 2; ++which)
        if (!result.pictures[which - 1].empty())
            jobs.push_back([&, which] {
                const std::string& path = paths[which - 1];
                kit::bytes file;
                check(kit::file_of(std::move(result.pictures[which - 1]), kit::output_format::png,
                                   given.raw ? kit::picture_kind::decoded : kit::picture_kind::reconstructed, path,
                                   file, progress.reporter(), given.threads));
                progress.step("writing " + path);
                write_output(path, file, given.force, out);
            });
        else
            paths[which - 1].clear();
    run_side_by_side(jobs, 1);
    const bool shown = progress.finish();
    const std::string what = result.compact ? std::string("compact") + (result.keyed ? ", keyed" : "")
                             : result.keyed ? "keyed"
                                            : kit::layout_words(result.layout);
    for (int which = 1; which <= 2 && given.verbose; ++which)
        if (!paths[which - 1].empty()) err << "vorn: wrote " << paths[which - 1] << " (" << what << ")\n";
    if (given.verbose || shown) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
}
