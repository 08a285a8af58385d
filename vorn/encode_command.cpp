#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "kit_use.h"
#include "password.h"
#include "side_by_side.h"

void run_encode(const options& given, std::ostream& err)
{
    const int64_t start = steady_ms();
    kit::output_format format;
    check(kit::format_for(given.output, format));
    std::vector<std::string> inputs{given.input};
    if (!given.hidden1.empty()) inputs.push_back(given.hidden1);
    if (!given.hidden2.empty()) inputs.push_back(given.hidden2);
    check_output(given.output, inputs, given.force);
    const bool keyed = wants_password(given);
    check(kit::check_hide(!given.hidden1.empty(), !given.hidden2.empty(), keyed));

    // The pictures are read and decoded side by side.
    std::vector<input_picture> loaded(inputs.size());
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < inputs.size(); ++i)
        jobs.push_back([&, i] { loaded[i] = load_picture(inputs[i], picture_role::source, given.limits); });
    run_side_by_side(jobs);

    std::string password;
    if (keyed) password = password_for(given, true, std::cin);
    kit::hide_request request;
    request.build = given.build.value_or(VORN_VORNHOLD2);
    request.fit = given.fit;
    request.password = keyed ? &password : nullptr;
    input_picture* hidden1 = given.hidden1.empty() ? nullptr : &loaded[1];
    input_picture* hidden2 = given.hidden2.empty() ? nullptr : &loaded[given.hidden1.empty() ? 1 : 2];
    kit::hide_result result;
    const kit::status hidden = kit::hide(std::move(loaded[0]), hidden1, hidden2, request, result);
    kit::wipe(password);
    say(err, result.notes);
    check(hidden);

    kit::bytes file;
    check(kit::file_of(std::move(result.coded), format, kit::picture_kind::coded, given.output, file));
    write_output(given.output, file, given.force);
    if (!given.verbose) return;
    say(err, result.report);
    if (keyed) {
        err << "vorn: wrote " << given.output << " in " << steady_ms() - start << " ms\n";
        return;
    }
    err << "vorn: wrote " << given.output << " (" << kit::size_text(result.geometry.width, result.geometry.height)
        << ", build " << kit::build_name(request.build) << ") in " << steady_ms() - start << " ms\n";
}
