#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "keyed_command.h"
#include "picture_output.h"

namespace {

const char* build_name(vorn_build build)
{
    return build == VORN_VORNHOLD ? "vornhold" : "vornhold2";
}

const char* content_text(vorn_content content)
{
    return content == VORN_HOLDS_HIDDEN1   ? "hidden picture 1 alone"
           : content == VORN_HOLDS_HIDDEN2 ? "hidden picture 2 alone"
                                           : "hidden pictures 1 and 2";
}

bool holds(vorn_content content, int which)
{
    return (int(content) & which) != 0;
}

// Whether any raster byte has a low bit set: a picture encoded without hidden pictures has none.
bool has_low_bits(const std::vector<uint8_t>& image, const vorn_geometry& frame)
{
    for (size_t at = frame.offset_raster; at < image.size(); ++at)
        if (image[at] & 0x0F) return true;
    return false;
}

std::string output_path(const std::string& folder, int which)
{
    const std::string name = "hidden-" + std::to_string(which) + ".png";
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

void run_decode(const options& given, std::ostream& err)
{
    const int64_t start = steady_ms();
    input_picture input = load_picture(given.input, picture_role::coded);
    const std::vector<uint8_t> coded = coder_image(input);
    vorn_geometry frame;
    vorn_check_carrier(coded.data(), coded.size(), &frame);  // accepted as it was loaded

    if (keyed(given)) {
        decode_keyed(given, coded, err);
        if (given.verbose) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
        return;
    }

    vorn_build build = given.build.value_or(VORN_VORNHOLD2);
    vorn_content content = given.content.value_or(VORN_HOLDS_BOTH);
    if (!given.content || !given.build) {
        if (!given.content && !has_low_bits(coded, frame))
            fail(exit_class::input, given.input +
                                        ": holds no hidden picture (its four low bits are 0 "
                                        "everywhere); give --hidden to decode it all the same");
        if (!given.content && looks_keyed(coded))
            fail(exit_class::input, given.input +
                                        ": no hidden picture found (its low bits look random); if it "
                                        "was coded with a password, give --password");
        vorn_build guessed_build;
        vorn_content guessed_content;
        vorn_detect(coded.data(), coded.size(), &guessed_build, &guessed_content);
        if (!given.content) content = guessed_content;
        if (!given.build) build = guessed_build;
        err << "vorn: " << given.input << ": assuming " << content_text(content);
        if (content != VORN_HOLDS_HIDDEN1) err << ", written by " << build_name(build);
        err << " (guessed from the picture; give --hidden and --build to choose)\n";
    }

    // The folder named for the pictures is made when it is missing, as `mkdir -p` would.
    if (!given.output.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(given.output, ignored);
    }
    std::vector<std::string> outputs;
    for (int which = 1; which <= 2; ++which)
        if (holds(content, which)) outputs.push_back(output_path(given.output, which));
    for (const std::string& path : outputs) check_output(path, {given.input}, given.force);

    size_t next = 0;
    for (int which = 1; which <= 2; ++which) {
        if (!holds(content, which)) continue;
        const std::string& path = outputs[next++];
        std::vector<uint8_t> picture(coded.size());
        const vorn_error error = vorn_extract(coded.data(), coded.size(), build, content, which,
                                              picture.data());
        if (error != VORN_OK) fail(exit_class::input, given.input + ": " + vorn_strerror(error));
        write_output(path, output_bytes(output_format::png, std::move(picture), path), given.force);
        if (given.verbose) err << "vorn: wrote " << path << " (" << content_text(content) << ")\n";
    }
    if (given.verbose) err << "vorn: decoded " << given.input << " in " << steady_ms() - start << " ms\n";
}
