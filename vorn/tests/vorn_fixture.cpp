#include "vorn_fixture.h"

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

bytes read_bytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& path, const bytes& content)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                std::streamsize(content.size()));
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
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{g.width, g.height, uint8_t(depth), uint8_t(color_type), 0, 0, 0};
    spng_set_ihdr(context, &header);
    EXPECT_EQ(spng_encode_image(context, raw.data(), raw.size(), SPNG_FMT_RAW, SPNG_ENCODE_FINALIZE), 0);
    size_t length = 0;
    int error = 0;
    auto* buffer = static_cast<uint8_t*>(spng_get_png_buffer(context, &length, &error));
    bytes png(buffer, buffer + length);
    free(buffer);
    spng_ctx_free(context);
    return png;
}

bytes jpeg_of(const bytes& bmp)
{
    const vorn_geometry g = geometry_of(bmp);
    bytes rgb = rgb_of(bmp);
    jpeg_compress_struct encoder;
    jpeg_error_mgr errors;
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&encoder, &buffer, &length);
    encoder.image_width = g.width;
    encoder.image_height = g.height;
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, 90, TRUE);
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW row = rgb.data() + size_t(encoder.next_scanline) * g.width * 3;
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    bytes jpeg(buffer, buffer + length);
    free(buffer);
    return jpeg;
}

static void put32(bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A BMP of the picture with `header_size` bytes of info header, `bits` per pixel and rows
// top-down when asked; fields beyond the 40-byte header stay 0.
static bytes bmp_variant(const bytes& bmp, uint32_t header_size, uint32_t bits, bool top_down)
{
    const vorn_geometry g = geometry_of(bmp);
    const bytes rgb = rgb_of(bmp);
    const uint32_t pixel = bits / 8, row = (g.width * pixel + 3) / 4 * 4, offset = 14 + header_size;
    bytes out(offset + size_t(row) * g.height, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, uint32_t(out.size()));
    put32(out, 10, offset);
    put32(out, 14, header_size);
    put32(out, 18, g.width);
    put32(out, 22, top_down ? uint32_t(-int32_t(g.height)) : g.height);
    out[26] = 1;
    out[28] = uint8_t(bits);
    for (uint32_t y = 0; y < g.height; ++y) {
        const uint32_t stored = top_down ? y : g.height - 1 - y;
        for (uint32_t x = 0; x < g.width; ++x)
            for (int c = 0; c < 3; ++c)
                out[offset + size_t(stored) * row + size_t(x) * pixel + c] = rgb[(size_t(y) * g.width + x) * 3 + 2 - c];
    }
    return out;
}

bytes bmp32_of(const bytes& bmp) { return bmp_variant(bmp, 40, 32, false); }
bytes top_down_of(const bytes& bmp) { return bmp_variant(bmp, 40, 24, true); }
bytes v5_header_of(const bytes& bmp) { return bmp_variant(bmp, 124, 24, false); }

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
    previous = fs::current_path();
    std::random_device random;
    folder = fs::temp_directory_path() / ("vorn-test-" + std::to_string(random()));
    fs::create_directories(folder);
    for (const char* name : {"Main.bmp", "Hidden 1.bmp", "Hidden 2.bmp"})
        fs::copy_file(fs::path(VORN_SAMPLES_DIR) / name, folder / name);
    fs::current_path(folder);
}

void vorn_test::TearDown()
{
    fs::current_path(previous);
    fs::remove_all(folder);
}
