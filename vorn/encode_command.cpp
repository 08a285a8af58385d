#include <functional>
#include <string>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "hidden_fit.h"
#include "keyed_command.h"
#include "picture_output.h"
#include "side_by_side.h"

namespace {

// The hidden picture's file image in the carrier's frame (scaled into it as --fit says when its
// size is another, which stderr reports), letting go of its decoded pixels.
std::vector<uint8_t> hidden_image(input_picture& hidden, int which, const std::vector<uint8_t>& carrier,
                                  const vorn_geometry& frame, vorn_fit fit, std::ostream& err)
{
    std::vector<uint8_t> image = coder_image(hidden);
    hidden.pixels = rgb_picture();  // its pixels are in `image` now
    fitted_hidden fitted = fit_hidden_picture(std::move(image), which, carrier, frame, fit, hidden.path);
    if (!fitted.done.empty()) err << "vorn: " << fitted.done << "\n";
    return std::move(fitted.image);
}

const char* permutation_text(const vorn_geometry& frame)
{
    return vorn_scrambles(&frame) ? "scrambled" : "in place (the sides are not both powers of two)";
}

void report(bool hidden1, bool hidden2, const options& given, const vorn_geometry& frame,
            int64_t elapsed_ms, std::ostream& err)
{
    if (hidden1)
        err << "vorn: hidden picture 1 stored, 2 bits per colour byte, " << permutation_text(frame)
            << "\n";
    if (hidden2 && hidden1)
        err << "vorn: hidden picture 2 stored, 2 bits per colour byte, in place\n";
    if (hidden2 && !hidden1)
        err << "vorn: hidden picture 2 stored, 4 bits per colour byte, " << permutation_text(frame)
            << "\n";
    if (!hidden1 && !hidden2)
        err << "vorn: no hidden picture stored: the carrier keeps 4 bits per colour byte\n";
    err << "vorn: wrote " << given.output << " (" << size_text(frame.width, frame.height)
        << ", build " << (given.build.value_or(VORN_VORNHOLD2) == VORN_VORNHOLD ? "vornhold" : "vornhold2")
        << ") in " << elapsed_ms << " ms\n";
}

}  // namespace

void run_encode(const options& given, std::ostream& err)
{
    const int64_t start = steady_ms();
    const output_format format = format_for(given.output);
    std::vector<std::string> inputs{given.input};
    if (!given.hidden1.empty()) inputs.push_back(given.hidden1);
    if (!given.hidden2.empty()) inputs.push_back(given.hidden2);
    check_output(given.output, inputs, given.force);

    // The pictures are read and decoded side by side, then framed one after the other, each
    // letting go of its decoded pixels as soon as its file image is made.
    std::vector<input_picture> loaded(inputs.size());
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < inputs.size(); ++i)
        jobs.push_back([&, i] { loaded[i] = load_picture(inputs[i], picture_role::source, given.limits); });
    run_side_by_side(jobs);
    for (const input_picture& input : loaded) note_reading(input, err);

    if (keyed(given)) frame_keyed_carrier(loaded[0], format);
    std::vector<uint8_t> carrier = coder_image(loaded[0]);
    loaded[0] = input_picture();
    vorn_geometry frame;
    vorn_check_carrier(carrier.data(), carrier.size(), &frame);  // accepted as it was loaded

    std::vector<uint8_t> hidden[2];
    size_t next = 1;
    for (int which = 1; which <= 2; ++which) {
        const std::string& path = which == 1 ? given.hidden1 : given.hidden2;
        if (path.empty()) continue;
        hidden[which - 1] = hidden_image(loaded[next], which, carrier, frame, given.fit, err);
        loaded[next++] = input_picture();
    }

    if (keyed(given)) {
        encode_keyed(given, carrier, hidden, err);
    } else {
        std::vector<uint8_t> work;
        size_t work_size;
        if (vorn_encode_work_size(&frame, &work_size) != VORN_OK) throw std::bad_alloc();
        work.resize(work_size);
        int refused = 0;
        const vorn_error error = vorn_encode(
            carrier.data(), carrier.size(), hidden[0].empty() ? nullptr : hidden[0].data(), hidden[0].size(),
            hidden[1].empty() ? nullptr : hidden[1].data(), hidden[1].size(),
            given.build.value_or(VORN_VORNHOLD2), work.data(), work.size(), &refused);
        // Every hidden picture was framed to match the carrier, so a refusal here is a fault.
        const std::string& failed = refused == 1 ? given.hidden1 : refused == 2 ? given.hidden2 : given.input;
        if (error != VORN_OK) fail(exit_class::input, failed + ": " + vorn_strerror(error));
    }

    const bool stored1 = !hidden[0].empty(), stored2 = !hidden[1].empty();
    for (std::vector<uint8_t>& used : hidden) used = std::vector<uint8_t>();  // not needed to write
    write_output(given.output, output_bytes(format, std::move(carrier), given.output, coded_png_settings),
                 given.force);
    if (given.verbose && !keyed(given)) report(stored1, stored2, given, frame, steady_ms() - start, err);
    if (given.verbose && keyed(given)) err << "vorn: wrote " << given.output << " in " << steady_ms() - start << " ms\n";
}
