#include <algorithm>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "kit_use.h"
#include "password.h"
#include "progress_line.h"
#include "side_by_side.h"
#include "terminal.h"

namespace {

// The decode command that takes out what was hidden, said as it would be typed.
std::string decode_command(const options& given, const kit::hide_result& result)
{
    std::string command = "vorn decode " + (given.output == "-" ? std::string("CODED") : given.output);
    if (result.keyed) return command + " --password";
    if (result.compact) return command;
    const std::optional<kit::content> holds = kit::layout_content(result.layout);
    if (!holds) return "";
    command += std::string(" --hidden ") + (*holds == kit::content::hidden1   ? "1"
                                            : *holds == kit::content::hidden2 ? "2"
                                                                              : "both");
    if (const std::optional<vorn_build> build = kit::layout_build(result.layout))
        command += std::string(" --build ") + kit::build_name(*build);
    return command;
}

}  // namespace

void run_encode(const options& given, std::ostream& out, std::ostream& err)
{
    const int64_t start = steady_ms();
    progress_line progress(err, !given.quiet && stderr_is_terminal(), start);
    kit::output_format format;
    check(kit::format_for(given.output, format));
    std::vector<std::string> inputs{given.input};
    if (!given.hidden1.empty()) inputs.push_back(given.hidden1);
    if (!given.hidden2.empty()) inputs.push_back(given.hidden2);
    check_output(given.output, inputs, given.force);
    const bool keyed = wants_password(given);
    const kit::hiding_form form = given.classic ? kit::hiding_form::classic : kit::hiding_form::compact;
    check(kit::check_hide(!given.hidden1.empty(), !given.hidden2.empty(), keyed, form, given.carrier_bits));

    // The password is asked before the pictures are read, so that nobody waits at the prompt.
    std::string password;
    if (keyed) password = password_for(given, true, std::cin);

    // The pictures are read and decoded side by side, the threads shared among them, the largest
    // file first where they are fewer than the pictures, so that the last to begin is a small one.
    const unsigned threads = threads_for(given.threads);
    const int each = int(std::max<size_t>(1, threads / inputs.size()));
    std::vector<size_t> order(inputs.size());
    std::vector<uintmax_t> sizes(inputs.size(), 0);
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::error_code unknown;  // standard input, or a file that reading will say more about
        order[i] = i;
        if (inputs[i] != "-") sizes[i] = std::filesystem::file_size(inputs[i], unknown);
        if (unknown) sizes[i] = 0;
    }
    std::stable_sort(order.begin(), order.end(), [&sizes](size_t a, size_t b) { return sizes[a] > sizes[b]; });
    std::vector<input_picture> loaded(inputs.size());
    std::vector<std::exception_ptr> failed(inputs.size());
    std::vector<std::function<void()>> jobs;
    for (const size_t i : order)
        jobs.push_back([&, i] {
            try {
                loaded[i] = load_picture(inputs[i], picture_role::source, given.limits, progress, each);
            } catch (...) {
                failed[i] = std::current_exception();
            }
        });
    run_side_by_side(jobs, threads);
    // A picture that cannot be read is told of in the inputs' order, whichever was read first.
    for (const std::exception_ptr& failure : failed)
        if (failure) std::rethrow_exception(failure);

    kit::hide_request request;
    request.form = form;
    request.carrier_bits = given.carrier_bits;
    request.build = given.build.value_or(VORN_VORNHOLD2);
    request.fit = given.fit;
    request.password = keyed ? &password : nullptr;
    request.report = progress.reporter();
    request.threads = given.threads;
    input_picture* hidden1 = given.hidden1.empty() ? nullptr : &loaded[1];
    input_picture* hidden2 = given.hidden2.empty() ? nullptr : &loaded[given.hidden1.empty() ? 1 : 2];
    kit::hide_result result;
    const kit::status hidden = kit::hide(std::move(loaded[0]), hidden1, hidden2, request, result);
    kit::wipe(password);
    progress.finish();
    say(err, result.notes);
    check(hidden);

    kit::bytes file;
    check(kit::file_of(std::move(result.coded), format, kit::picture_kind::coded, given.output, file,
                       progress.reporter(), given.threads));
    progress.step("writing " + given.output);
    write_output(given.output, file, given.force, out);
    const bool shown = progress.finish();
    if (given.verbose) say(err, result.report);
    const std::string command = decode_command(given, result);
    if (!command.empty()) err << "vorn: to take them out: " << command << "\n";
    const std::string form_words = result.compact ? ", compact, " + std::to_string(result.carrier_bits) +
                                                        (result.carrier_bits == 1 ? " low bit" : " low bits") +
                                                        (keyed ? ", keyed" : "")
                                   : keyed ? std::string(", keyed")
                                           : std::string(", build ") + kit::build_name(request.build);
    if (given.verbose || shown)
        err << "vorn: wrote " << given.output << " (" << kit::size_text(result.geometry.width, result.geometry.height)
            << form_words << ") in " << steady_ms() - start << " ms\n";
}
