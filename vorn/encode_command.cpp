#include <string>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "keyed_command.h"
#include "picture_output.h"

namespace {

std::string size_text(uint32_t width, uint32_t height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// The hidden picture's file image in the carrier's frame: the file itself when the coder would
// take it beside this carrier as it stands, otherwise its pixels under the carrier's header.
std::vector<uint8_t> hidden_image(input_picture& hidden, int which, const std::vector<uint8_t>& carrier,
                                  const vorn_geometry& frame)
{
    if (hidden.as_is && vorn_check_hidden(&frame, hidden.file.data(), hidden.file.size()) == VORN_OK)
        return std::move(hidden.file);
    const rgb_picture pixels = take_pixels(hidden);
    if (pixels.width != frame.width || pixels.height != frame.height) {
        const std::string size = size_text(frame.width, frame.height);
        fail(exit_class::input, hidden.path + ": hidden picture " + std::to_string(which) + " is " +
                                    size_text(pixels.width, pixels.height) + " but the carrier is " +
                                    size + "; scale or crop it to " + size + " first");
    }
    return image_in_frame(carrier, frame, pixels);
}

const char* permutation_text(vorn_permutation permutation)
{
    return permutation == VORN_PERMUTATION_RAN ? "scrambled"
                                               : "in place (the sides are not both powers of two)";
}

void report(const vorn_report& done, const options& given, const vorn_geometry& frame,
            int64_t elapsed_ms, std::ostream& err)
{
    const bool both = done.hidden1 == VORN_OK && done.hidden2 == VORN_OK;
    if (done.hidden1 == VORN_OK)
        err << "vorn: hidden picture 1 stored, 2 bits per colour byte, "
            << permutation_text(done.hidden1_permutation) << "\n";
    if (done.hidden2 == VORN_OK && both)
        err << "vorn: hidden picture 2 stored, 2 bits per colour byte, in place\n";
    if (done.hidden2 == VORN_OK && !both)
        err << "vorn: hidden picture 2 stored, 4 bits per colour byte, "
            << permutation_text(done.hidden2_permutation) << "\n";
    if (done.hidden1 != VORN_OK && done.hidden2 != VORN_OK)
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

    input_picture carrier_input = load_picture(given.input, picture_role::source);
    note_reading(carrier_input, err);
    if (keyed(given)) frame_keyed_carrier(carrier_input, format);
    std::vector<uint8_t> carrier = coder_image(carrier_input);
    vorn_geometry frame;
    vorn_check_carrier(carrier.data(), carrier.size(), &frame);  // accepted as it was loaded

    std::vector<uint8_t> hidden[2];
    for (int which = 1; which <= 2; ++which) {
        const std::string& path = which == 1 ? given.hidden1 : given.hidden2;
        if (path.empty()) continue;
        input_picture input = load_picture(path, picture_role::source);
        note_reading(input, err);
        hidden[which - 1] = hidden_image(input, which, carrier, frame);
    }

    if (keyed(given)) {
        encode_keyed(given, carrier, hidden, err);
        write_output(given.output, output_bytes(format, std::move(carrier), given.output), given.force);
        if (given.verbose) err << "vorn: wrote " << given.output << " in " << steady_ms() - start << " ms\n";
        return;
    }

    std::vector<uint8_t> work;
    size_t work_size;
    if (vorn_encode_work_size(&frame, &work_size) != VORN_OK) throw std::bad_alloc();
    work.resize(work_size);
    vorn_report done;
    const vorn_error error = vorn_encode(
        carrier.data(), carrier.data(), carrier.size(), hidden[0].empty() ? nullptr : hidden[0].data(),
        hidden[0].size(), hidden[1].empty() ? nullptr : hidden[1].data(), hidden[1].size(),
        given.build.value_or(VORN_VORNHOLD2), work.data(), work.size(), &done);
    if (error != VORN_OK) fail(exit_class::input, given.input + ": " + vorn_strerror(error));
    // Every hidden picture was framed to match the carrier, so a refusal here is a fault.
    if (!hidden[0].empty() && done.hidden1 != VORN_OK)
        fail(exit_class::input, given.hidden1 + ": " + vorn_strerror(done.hidden1));
    if (!hidden[1].empty() && done.hidden2 != VORN_OK)
        fail(exit_class::input, given.hidden2 + ": " + vorn_strerror(done.hidden2));

    write_output(given.output, output_bytes(format, std::move(carrier), given.output), given.force);
    if (given.verbose) report(done, given, frame, steady_ms() - start, err);
}
