// Writes the input pictures of the policy table (cases.tsv) into a folder: one small picture in
// the file variants where reading policies can differ, so that every front end is run on the
// same bytes.
//   vorn_policy_pictures FOLDER
#include <cstdint>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <spng.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

constexpr uint32_t width = 16;
constexpr uint32_t height = 8;

// R G B of pixel (x, y) of picture `seed`: smooth ramps with some texture, so that the low bits
// of a coded picture take every value.
uint8_t sample(uint32_t x, uint32_t y, uint32_t channel, uint32_t seed)
{
    const uint32_t ramps[3] = {x * 16 + y, y * 32 + x * 3, (x * y * 7 + seed * 40) & 0xFF};
    return uint8_t((ramps[channel] + seed * 29 + ((x ^ y) & 3) * 5) & 0xFF);
}

void put(bytes& file, size_t at, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i) file[at + i] = uint8_t(value >> (8 * i));
}

// A BMP of picture `seed`: `header_size` bytes of info header, `bits` per pixel (8: grey values
// with no palette), rows top-down when asked.
bytes bmp(uint32_t seed, uint32_t header_size, uint32_t bits, bool top_down)
{
    const uint32_t pixel = bits / 8, row = (width * pixel + 3) / 4 * 4, offset = 14 + header_size;
    bytes file(offset + size_t(row) * height, 0);
    file[0] = 'B';
    file[1] = 'M';
    put(file, 2, uint32_t(file.size()), 4);
    put(file, 10, offset, 4);
    put(file, 14, header_size, 4);
    put(file, 18, width, 4);
    put(file, 22, top_down ? uint32_t(-int32_t(height)) : height, 4);
    put(file, 26, 1, 2);
    put(file, 28, bits, 2);
    put(file, 34, row * height, 4);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* stored = &file[offset + size_t(top_down ? y : height - 1 - y) * row];
        for (uint32_t x = 0; x < width; ++x, stored += pixel)
            for (uint32_t c = 0; c < pixel && c < 3; ++c)
                stored[c] = pixel == 1 ? sample(x, y, 1, seed) : sample(x, y, 2 - c, seed);
    }
    return file;
}

struct png_kind {
    uint8_t color_type;
    uint8_t depth;
    bool gamma;  // a gAMA chunk of 1/2.2
    bool icc;    // an iCCP chunk (a stand-in profile: only its presence matters)
};

// A PNG of picture `seed`. Alpha is a ramp that never reaches 255, so that it is really there.
bytes png(uint32_t seed, const png_kind& kind)
{
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{width, height, kind.depth, kind.color_type, 0, 0, 0};
    spng_set_ihdr(context, &header);
    bytes raw;
    const int samples = kind.depth / 8;
    auto add = [&](uint8_t value) {
        for (int i = 0; i < samples; ++i) raw.push_back(uint8_t(value ^ (i ? 0x5A : 0)));
    };
    if (kind.color_type == SPNG_COLOR_TYPE_INDEXED) {
        // 64 entries, each pixel one of them, so that the palette is what gives the colours.
        spng_plte palette{};
        palette.n_entries = 64;
        for (uint32_t i = 0; i < 64; ++i)
            palette.entries[i] = {uint8_t(i * 4), uint8_t(255 - i * 3), uint8_t(i * 37), 0};
        spng_set_plte(context, &palette);
    }
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t alpha = uint8_t(60 + x * 8 + y * 4);
            switch (kind.color_type) {
            case SPNG_COLOR_TYPE_INDEXED: raw.push_back(uint8_t((x * 5 + y * 3 + seed) % 64)); break;
            case SPNG_COLOR_TYPE_GRAYSCALE: add(sample(x, y, 1, seed)); break;
            case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: add(sample(x, y, 1, seed)); add(alpha); break;
            default:
                for (uint32_t c = 0; c < 3; ++c) add(sample(x, y, c, seed));
                if (kind.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA) add(alpha);
            }
        }
    if (kind.gamma) spng_set_gama(context, 1 / 2.2);
    if (kind.icc) {
        char name[] = "stand-in";
        char profile[] = "not a real profile: a reader must not apply it";
        spng_iccp iccp{};
        std::snprintf(iccp.profile_name, sizeof iccp.profile_name, "%s", name);
        iccp.profile_len = sizeof profile;
        iccp.profile = profile;
        spng_set_iccp(context, &iccp);
    }
    int error = spng_encode_image(context, raw.data(), raw.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t length = 0;
    auto* buffer = static_cast<uint8_t*>(error ? nullptr : spng_get_png_buffer(context, &length, &error));
    spng_ctx_free(context);
    if (!buffer) {
        std::fprintf(stderr, "vorn_policy_pictures: libspng: %s\n", spng_strerror(error));
        std::exit(1);
    }
    bytes file(buffer, buffer + length);
    std::free(buffer);
    return file;
}

// A JPEG of picture `seed` whose EXIF orientation is `orientation` (6: to be shown turned a
// quarter clockwise), as cameras write it.
bytes jpeg(uint32_t seed, uint8_t orientation)
{
    jpeg_compress_struct encoder;
    jpeg_error_mgr errors;
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&encoder, &buffer, &length);
    encoder.image_width = width;
    encoder.image_height = height;
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, 90, TRUE);
    jpeg_start_compress(&encoder, TRUE);
    // Exif header, then a little-endian TIFF header with one IFD entry: Orientation (0x0112),
    // type SHORT, count 1.
    const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                            0x12, 0x01, 3, 0, 1, 0, 0, 0, orientation, 0, 0, 0, 0, 0, 0, 0};
    jpeg_write_marker(&encoder, JPEG_APP0 + 1, exif, sizeof exif);
    std::vector<uint8_t> row(width * 3);
    while (encoder.next_scanline < height) {
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t c = 0; c < 3; ++c) row[x * 3 + c] = sample(x, encoder.next_scanline, c, seed);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&encoder, rows, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    bytes file(buffer, buffer + length);
    std::free(buffer);
    return file;
}

// A 24-bit BMP whose low four bits are 0 everywhere: what encoding without hidden pictures
// writes.
bytes without_low_bits(uint32_t seed)
{
    bytes file = bmp(seed, 40, 24, false);
    for (size_t at = 54; at < file.size(); ++at) file[at] &= 0xF0;
    return file;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorn_policy_pictures FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const struct {
        const char* name;
        bytes file;
    } pictures[] = {
        {"hidden.bmp", bmp(2, 40, 24, false)},
        {"hidden.png", png(3, {SPNG_COLOR_TYPE_TRUECOLOR, 8, false, false})},
        {"v5-header.bmp", bmp(1, 124, 24, false)},
        {"32-bit.bmp", bmp(1, 40, 32, false)},
        {"top-down.bmp", bmp(1, 40, 24, true)},
        {"8-bit-no-palette.bmp", bmp(1, 40, 8, false)},
        {"16-bit.png", png(1, {SPNG_COLOR_TYPE_TRUECOLOR, 16, false, false})},
        {"palette.png", png(1, {SPNG_COLOR_TYPE_INDEXED, 8, false, false})},
        {"grey.png", png(1, {SPNG_COLOR_TYPE_GRAYSCALE, 8, false, false})},
        {"grey-alpha.png", png(1, {SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8, false, false})},
        {"rgba.png", png(1, {SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, false, false})},
        {"gama.png", png(1, {SPNG_COLOR_TYPE_TRUECOLOR, 8, true, false})},
        {"iccp.png", png(1, {SPNG_COLOR_TYPE_TRUECOLOR, 8, false, true})},
        {"exif-rotated.jpg", jpeg(1, 6)},
        {"no-hidden-bits.bmp", without_low_bits(4)},
    };
    for (const auto& picture : pictures) {
        const std::string path = folder + "/" + picture.name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(picture.file.data()), std::streamsize(picture.file.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "vorn_policy_pictures: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
