#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "keyed_command.h"
#include "picture_memory.h"
#include "picture_output.h"
#include "side_by_side.h"

namespace {

const char* build_name(vorn_build build)
{
    return build == VORN_VORNHOLD ? "vornhold" : "vornhold2";
}

const char* content_text(hidden_choice content)
{
    return content == hidden_choice::hidden1   ? "hidden picture 1 alone"
           : content == hidden_choice::hidden2 ? "hidden picture 2 alone"
                                               : "hidden pictures 1 and 2";
}

hidden_choice content_of(vorn_layout layout)
{
    if (layout == VORN_LAYOUT_HIDDEN1) return hidden_choice::hidden1;
    if (layout == VORN_LAYOUT_HIDDEN2_VORNHOLD || layout == VORN_LAYOUT_HIDDEN2_VORNHOLD2)
        return hidden_choice::hidden2;
    return hidden_choice::both;
}

// Hidden picture 1 alone is laid out alike by both builds; vornhold2 is the default then.
vorn_build build_of(vorn_layout layout)
{
    return layout == VORN_LAYOUT_HIDDEN2_VORNHOLD || layout == VORN_LAYOUT_BOTH_VORNHOLD ? VORN_VORNHOLD
                                                                                       : VORN_VORNHOLD2;
}

std::string output_path(const std::string& folder, int which)
{
    const std::string name = "hidden-" + std::to_string(which) + ".png";
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The picture the levels of hidden picture `which` stand for, with the dither's grain filtered out.
vorn_error reconstruct(const std::vector<uint8_t>& coded, vorn_layout layout, int which,
                       std::vector<uint8_t>& picture)
{
    std::vector<uint8_t> work = engine_work(vorn_reconstruct_work_size, coded);
    return vorn_reconstruct(coded.data(), coded.size(), layout, which, picture.data(), picture.size(),
                            work.data(), work.size());
}

}  // namespace

void run_decode(const options& given, std::ostream& err)
{
    const int64_t start = steady_ms();
    input_picture input = load_picture(given.input, picture_role::coded, given.limits);
    std::vector<uint8_t> coded = coder_image(input);
    input = input_picture();  // its decoded pixels are in `coded` now

    if (keyed(given)) {
        decode_keyed(given, coded, err);
        if (given.verbose) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
        return;
    }

    vorn_build build = given.build.value_or(VORN_VORNHOLD2);
    hidden_choice content = given.content.value_or(hidden_choice::both);
    if (!given.content || !given.build) {
        vorn_layout guessed;
        vorn_detect(coded.data(), coded.size(), &guessed);
        if (!given.content && guessed == VORN_LAYOUT_NONE)
            fail(exit_class::input, given.input +
                                        ": holds no hidden picture (its four low bits are 0 "
                                        "everywhere); give --hidden to decode it all the same");
        if (!given.content && looks_keyed(coded))
            fail(exit_class::input, given.input +
                                        ": no hidden picture found (its low bits look random); if it "
                                        "was coded with a password, give --password");
        if (!given.content) content = content_of(guessed);
        if (!given.build) build = build_of(guessed);
        err << "vorn: " << given.input << ": assuming " << content_text(content);
        if (content != hidden_choice::hidden1) err << ", written by " << build_name(build);
        err << " (guessed from the picture; give --hidden and --build to choose)\n";
    }
    const vorn_layout layout = vorn_layout_of(build, content != hidden_choice::hidden2,
                                              content != hidden_choice::hidden1);

    // The folder named for the pictures is made when it is missing, as `mkdir -p` would.
    if (!given.output.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(given.output, ignored);
    }
    std::vector<std::string> outputs;
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which)) outputs.push_back(output_path(given.output, which));
    for (const std::string& path : outputs) check_output(path, {given.input}, given.force);

    // Each picture is taken out, turned into its PNG and written on its own thread. The job that
    // takes out the last picture lets go of the coded one, which no job needs after that.
    std::vector<int> taken;
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which)) taken.push_back(which);
    std::atomic<size_t> taking{taken.size()};
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < taken.size(); ++i)
        jobs.push_back([&, i] {
            std::vector<uint8_t> picture = large_buffer(coded.size());
            const vorn_error error = given.raw ? vorn_extract(coded.data(), coded.size(), layout, taken[i],
                                                              picture.data(), picture.size())
                                               : reconstruct(coded, layout, taken[i], picture);
            if (--taking == 0) coded = std::vector<uint8_t>();
            if (error != VORN_OK) fail(exit_class::input, given.input + ": " + vorn_strerror(error));
            write_output(outputs[i],
                         output_bytes(output_format::png, std::move(picture), outputs[i],
                                      given.raw ? decoded_png_settings : reconstructed_png_settings),
                         given.force);
        });
    run_side_by_side(jobs);
    for (size_t i = 0; i < taken.size() && given.verbose; ++i)
        err << "vorn: wrote " << outputs[i] << " (" << content_text(content) << ")\n";
    if (given.verbose) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
}
