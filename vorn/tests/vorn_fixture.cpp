#include "vorn_fixture.h"

#include "policy_pictures.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <jpeglib.h>
#include <spng.h>

#include "coder.h"
#include "filter.h"
#include "platform_recorder.h"
#include "vorn.h"
#include "vorn_main.h"

namespace fs = std::filesystem;

vorn_run run_vorn(const std::vector<std::string>& args)
{
    std::vector<std::string> words{"vorn"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    const int code = vorn_main(int(words.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

static vorn_geometry geometry_of(const bytes& bmp)
{
    vorn_geometry g{};
    EXPECT_EQ(vorn_check_carrier(bmp.data(), bmp.size(), &g), VORN_OK);
    return g;
}

bytes rgb_of(const bytes& bmp)
{
    const vorn_geometry g = geometry_of(bmp);
    bytes rgb(size_t(g.width) * g.height * 3);
    vorn_bmp_to_rgb(bmp.data(), bmp.size(), rgb.data(), rgb.size());
    return rgb;
}

bytes bmp_of(const bytes& rgb, uint32_t width, uint32_t height)
{
    size_t length;
    vorn_bmp_length(width, height, &length);
    bytes bmp(length);
    vorn_bmp_from_rgb(rgb.data(), width, height, size_t(width) * 3, 3, bmp.data(), bmp.size());
    return bmp;
}

bytes png_pixels(const bytes& png)
{
    spng_ctx* context = spng_ctx_new(0);
    spng_set_png_buffer(context, png.data(), png.size());
    size_t size = 0;
    spng_decoded_image_size(context, SPNG_FMT_RGB8, &size);
    bytes rgb(size);
    EXPECT_EQ(spng_decode_image(context, rgb.data(), size, SPNG_FMT_RGB8, 0), 0);
    spng_ctx_free(context);
    return rgb;
}

bytes png_of(const bytes& bmp, int color_type, int depth)
{
    return png_of(bmp, color_type, depth, -1, false);
}

bytes png_of(const bytes& bmp, int color_type, int depth, int filters, bool interlaced)
{
    const vorn_geometry g = geometry_of(bmp);
    const bytes rgb = rgb_of(bmp);
    const int channels = color_type == 2 ? 3 : color_type == 6 ? 4 : 1;
    const int sample_bytes = depth / 8;
    bytes raw;
    for (size_t pixel = 0; pixel < size_t(g.width) * g.height; ++pixel)
        for (int c = 0; c < channels; ++c) {
            const uint8_t value = channels == 1 ? rgb[pixel * 3 + 1] : c == 3 ? 128 : rgb[pixel * 3 + c];
            for (int b = 0; b < sample_bytes; ++b) raw.push_back(value);  // v * 257 when 16-bit
        }
    png_extra extra;
    extra.filters = filters;
    extra.interlaced = interlaced;
    return png_of_samples(raw, g.width, g.height, uint8_t(color_type), uint8_t(depth), extra);
}

bytes jpeg_of(const bytes& bmp)
{
    const vorn_geometry g = geometry_of(bmp);
    return jpeg_of_rgb(rgb_of(bmp), g.width, g.height, 90, 0);
}

// A BMP of the picture with `header_size` bytes of info header, `bits` per pixel and rows
// top-down when asked.
static bytes bmp_variant_of(const bytes& bmp, uint32_t header_size, uint32_t bits, bool top_down)
{
    const vorn_geometry g = geometry_of(bmp);
    return bmp_variant(rgb_of(bmp), g.width, g.height, header_size, bits, top_down);
}

bytes bmp32_of(const bytes& bmp) { return bmp_variant_of(bmp, 40, 32, false); }
bytes top_down_of(const bytes& bmp) { return bmp_variant_of(bmp, 40, 24, true); }
bytes v5_header_of(const bytes& bmp) { return bmp_variant_of(bmp, 124, 24, false); }

static void run_in(const fs::path& folder, int (*entry)(int, char**), const char* argument)
{
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    reset_recorder();
    std::string name = "program", word = argument ? argument : "";
    char* argv[] = {name.data(), argument ? word.data() : nullptr, nullptr};
    entry(argument ? 2 : 1, argv);
    fs::current_path(previous);
}

static int vornhold2_entry(int argc, char** argv) { return coder_main(argc, argv, coder_build::vornhold2); }
static int vornhold_entry(int argc, char** argv) { return coder_main(argc, argv, coder_build::vornhold); }

void run_coder_in(const fs::path& folder, const std::string& build, const char* argument)
{
    run_in(folder, build == "vornhold" ? vornhold_entry : vornhold2_entry, argument);
}

void run_filter_in(const fs::path& folder) { run_in(folder, filter_main, nullptr); }

void vorn_test::SetUp()
{
    scratch_test::SetUp();
    fs::remove(exe_folder);  // vorn has no folder rule: its folder holds only what a test puts there
    for (const char* name : {"Main.bmp", "Hidden 1.bmp", "Hidden 2.bmp"})
        fs::copy_file(fs::path(VORN_SAMPLES_DIR) / name, folder / name);
}

namespace {

void put_be32(bytes& file, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) file.push_back(uint8_t(value >> shift));
}

void put_chunk(bytes& file, const char* type, const bytes& data)
{
    put_be32(file, uint32_t(data.size()));
    const size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFF;
    for (size_t at = start; at < file.size(); ++at) {
        crc ^= file[at];
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    put_be32(file, ~crc);
}

}  // namespace

bytes png_declaring(uint32_t width, uint32_t height, size_t length)
{
    bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bytes header;
    put_be32(header, width);
    put_be32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    put_chunk(file, "IHDR", header);
    // What follows the padding's data: its frame of 12 bytes, the IDAT chunk and the IEND chunk.
    const size_t rest = file.size() + 12 + 18 + 12;
    if (length > rest) put_chunk(file, "paDd", bytes(length - rest));
    put_chunk(file, "IDAT", {0x78, 0x01, 0x63, 0x60, 0x00, 0x00});
    put_chunk(file, "IEND", {});
    return file;
}

bytes jpeg_declaring(bytes jpeg, uint16_t width, uint16_t height)
{
    for (size_t at = 2; at + 9 < jpeg.size(); ++at)
        if (jpeg[at] == 0xFF && (jpeg[at + 1] == 0xC0 || jpeg[at + 1] == 0xC2)) {
            jpeg[at + 5] = uint8_t(height >> 8);
            jpeg[at + 6] = uint8_t(height);
            jpeg[at + 7] = uint8_t(width >> 8);
            jpeg[at + 8] = uint8_t(width);
            break;
        }
    return jpeg;
}
