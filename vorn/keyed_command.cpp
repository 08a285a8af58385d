#include "keyed_command.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "failure.h"
#include "password.h"
#include "picture_memory.h"
#include "picture_output.h"
#include "png_codec.h"

namespace {

[[noreturn]] void keyed_failure(const std::string& path, vorn_error error)
{
    if (error == VORN_ERR_KEY_MEMORY) throw std::bad_alloc();
    fail(exit_class::input, path + ": " + vorn_strerror(error));
}

std::string output_path(const std::string& folder, int which)
{
    const std::string name = "hidden-" + std::to_string(which) + ".png";
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

bool keyed(const options& given) { return given.password || !given.password_file.empty(); }

void frame_keyed_carrier(input_picture& carrier, output_format format)
{
    if (format == output_format::bmp || !carrier.as_is) return;
    size_t length = 0;
    if (vorn_rgb_length(&carrier.geometry, &length) != VORN_OK) throw std::bad_alloc();
    rgb_picture pixels;
    pixels.width = carrier.geometry.width;
    pixels.height = carrier.geometry.height;
    pixels.rgb.allocate(length);
    vorn_bmp_to_rgb(carrier.file.data(), carrier.file.size(), pixels.rgb.data(), length);
    carrier.pixels = std::move(pixels);
    carrier.file = std::vector<uint8_t>();
    carrier.as_is = false;
}

void encode_keyed(const options& given, std::vector<uint8_t>& carrier, std::vector<uint8_t> (&hidden)[2],
                  std::ostream& err)
{
    const bool has1 = !hidden[0].empty(), has2 = !hidden[1].empty();
    if (!has1 && !has2)
        fail(exit_class::usage, "a password keys hidden pictures: give --hidden1 or --hidden2 (see vorn encode --help)");
    const vorn_layout layout = vorn_layout_of(given.build.value_or(VORN_VORNHOLD2), has1, has2);
    std::string password = password_for(given, true, std::cin);
    std::vector<uint8_t> work = engine_work(vorn_keyed_work_size, carrier);
    const vorn_error error = vorn_keyed_encode(
        carrier.data(), carrier.size(), has1 ? hidden[0].data() : nullptr, hidden[0].size(),
        has2 ? hidden[1].data() : nullptr, hidden[1].size(), layout, password.data(), password.size(),
        work.data(), work.size());
    wipe(password);
    if (error != VORN_OK) keyed_failure(given.input, error);
    if (given.verbose) err << "vorn: keyed with the password (Argon2id, XChaCha20-Poly1305)\n";
}

void decode_keyed(const options& given, const std::vector<uint8_t>& coded, std::ostream& err)
{
    std::string password = password_for(given, false, std::cin);
    std::vector<uint8_t> pictures[2] = {std::vector<uint8_t>(coded.size()), std::vector<uint8_t>(coded.size())};
    std::vector<uint8_t> work = engine_work(vorn_keyed_work_size, coded);
    vorn_layout layout = VORN_LAYOUT_NONE;
    const vorn_error error = vorn_keyed_decode(coded.data(), coded.size(), password.data(), password.size(),
                                               pictures[0].data(), pictures[1].data(),
                                               coded.size(), &layout,
                                               work.data(), work.size());
    wipe(password);
    if (error != VORN_OK) keyed_failure(given.input, error);
    if (!given.raw) {
        work = engine_work(vorn_reconstruct_work_size, coded);
        for (int which = 1; which <= 2; ++which) {
            if (!vorn_layout_holds(layout, which)) continue;
            const vorn_error reconstructed = vorn_keyed_reconstruct(pictures[which - 1].data(), coded.size(),
                                                                    layout, which, work.data(), work.size());
            if (reconstructed != VORN_OK) keyed_failure(given.input, reconstructed);
        }
    }

    if (!given.output.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(given.output, ignored);
    }
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which)) check_output(output_path(given.output, which), {given.input}, given.force);
    for (int which = 1; which <= 2; ++which) {
        if (!vorn_layout_holds(layout, which)) continue;
        const std::string path = output_path(given.output, which);
        write_output(path, output_bytes(output_format::png, std::move(pictures[which - 1]), path,
                                        given.raw ? decoded_png_settings : reconstructed_png_settings),
                     given.force);
        if (given.verbose) err << "vorn: wrote " << path << " (keyed)\n";
    }
}

bool looks_keyed(const std::vector<uint8_t>& coded)
{
    int likely = 0;
    return vorn_keyed_likely(coded.data(), coded.size(), &likely) == VORN_OK && likely;
}
