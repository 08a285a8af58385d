#include <atomic>
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
#include "side_by_side.h"

namespace {

// Writes each picture given (empty: none) as its PNG, side by side; `pictures` are let go.
void write_pictures(const options& given, kit::bytes (&pictures)[2], const std::vector<std::string>& paths,
                    std::ostream& err, const char* what)
{
    if (!given.output.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(given.output, ignored);
    }
    std::vector<std::function<void()>> jobs;
    for (int which = 1; which <= 2; ++which)
        if (!pictures[which - 1].empty())
            jobs.push_back([&, which] {
                const std::string& path = paths[which - 1];
                kit::bytes file;
                check(kit::file_of(std::move(pictures[which - 1]), kit::output_format::png,
                                   given.raw ? kit::picture_kind::decoded : kit::picture_kind::reconstructed, path,
                                   file));
                write_output(path, file, given.force);
            });
    run_side_by_side(jobs);
    for (int which = 1; which <= 2 && given.verbose; ++which)
        if (!paths[which - 1].empty()) err << "vorn: wrote " << paths[which - 1] << " (" << what << ")\n";
}

}  // namespace

void run_decode(const options& given, std::ostream& err)
{
    const int64_t start = steady_ms();
    input_picture input = load_picture(given.input, picture_role::coded, given.limits);
    kit::bytes coded;
    check(kit::image_of(std::move(input), coded));

    kit::decode_request request;
    request.build = given.build;
    request.holds = given.content;
    request.keyed = wants_password(given);
    kit::decode_plan plan;
    check(kit::plan_decode(coded, given.input, request, plan));
    if (!plan.note.empty()) err << "vorn: " << plan.note << "\n";

    // Every picture that may be written is checked before any work (a keyed picture's layout is
    // known only once it is open, so both names are checked then); a missing folder named for
    // them is made, as `mkdir -p` would, only once there is something to write into it.
    std::error_code missing;
    const bool folder_exists = given.output.empty() || std::filesystem::exists(given.output, missing);
    std::vector<std::string> paths(2);
    for (int which = 1; which <= 2; ++which)
        if (request.keyed || vorn_layout_holds(plan.layout, which)) {
            paths[which - 1] = kit::hidden_file_name(given.output, which);
            if (folder_exists) check_output(paths[which - 1], {given.input}, given.force);
        }

    kit::bytes pictures[2];
    if (request.keyed) {
        std::string password = password_for(given, false, std::cin);
        vorn_layout layout;
        const kit::status opened = kit::open_keyed(coded, given.input, password, given.raw, layout, pictures);
        kit::wipe(password);
        check(opened);
        coded = kit::bytes();
        for (int which = 1; which <= 2; ++which)
            if (pictures[which - 1].empty()) paths[which - 1].clear();
        write_pictures(given, pictures, paths, err, "keyed");
    } else {
        // Each picture is taken out on its own thread; the last to finish lets go of the coded one.
        std::atomic<int> taking{0};
        std::vector<std::function<void()>> jobs;
        for (int which = 1; which <= 2; ++which)
            if (vorn_layout_holds(plan.layout, which)) ++taking;
        for (int which = 1; which <= 2; ++which)
            if (vorn_layout_holds(plan.layout, which))
                jobs.push_back([&, which] {
                    const kit::status taken =
                        kit::take_out(coded, given.input, plan.layout, which, given.raw, pictures[which - 1]);
                    if (--taking == 0) coded = kit::bytes();
                    check(taken);
                });
        run_side_by_side(jobs);
        write_pictures(given, pictures, paths, err, kit::layout_words(plan.layout).c_str());
    }
    if (given.verbose) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
}
