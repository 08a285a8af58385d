#include "picture_files.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <spng.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vorn.h"

namespace {

void put32(bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> png_of_samples(const std::vector<uint8_t>& samples, uint32_t w, uint32_t h, uint8_t color_type,
                                    uint8_t depth, const png_extra& extra)
{
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{w, h, depth, color_type, 0, 0, uint8_t(extra.interlaced)};
    spng_set_ihdr(context, &header);
    if (extra.filters >= 0) spng_set_option(context, SPNG_FILTER_CHOICE, extra.filters);
    if (extra.gama) spng_set_gama(context, 1.0);
    if (extra.iccp) {
        // A profile that claims to be one; the policy uses the stored values whatever it says.
        static char profile[132] = {};
        spng_iccp iccp{};
        std::strcpy(iccp.profile_name, "policy");
        iccp.profile_len = sizeof profile;
        iccp.profile = profile;
        spng_set_iccp(context, &iccp);
    }
    if (extra.palette) {
        spng_plte plte{};
        plte.n_entries = uint32_t(extra.palette->size() / 3);
        for (uint32_t i = 0; i < plte.n_entries; ++i)
            plte.entries[i] = {(*extra.palette)[i * 3], (*extra.palette)[i * 3 + 1], (*extra.palette)[i * 3 + 2], 255};
        spng_set_plte(context, &plte);
    }
    spng_encode_image(context, samples.data(), samples.size(), SPNG_FMT_RAW, SPNG_ENCODE_FINALIZE);
    size_t length = 0;
    int error = 0;
    auto* buffer = static_cast<uint8_t*>(spng_get_png_buffer(context, &length, &error));
    bytes png(buffer, buffer + length);
    std::free(buffer);
    spng_ctx_free(context);
    return png;
}

std::vector<uint8_t> bmp_variant(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, uint32_t header_size,
                                 uint32_t bits, bool top_down)
{
    const uint32_t pixel = bits / 8, row = (w * pixel + 3) / 4 * 4, offset = 14 + header_size;
    bytes out(offset + size_t(row) * h, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, uint32_t(out.size()));
    put32(out, 10, offset);
    put32(out, 14, header_size);
    put32(out, 18, w);
    put32(out, 22, top_down ? uint32_t(-int32_t(h)) : h);
    out[26] = 1;
    out[28] = uint8_t(bits);
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t stored = top_down ? y : h - 1 - y;
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                out[offset + size_t(stored) * row + size_t(x) * pixel + c] = rgb[(size_t(y) * w + x) * 3 + 2 - c];
    }
    return out;
}

std::vector<uint8_t> jpeg_of_rgb(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, int quality,
                                 int orientation)
{
    jpeg_compress_struct encoder;
    jpeg_error_mgr errors;
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&encoder, &buffer, &length);
    encoder.image_width = w;
    encoder.image_height = h;
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, quality, TRUE);
    jpeg_start_compress(&encoder, TRUE);
    // "Exif\0\0", a big-endian TIFF header, one IFD with the orientation tag as a SHORT.
    const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                            0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0};
    if (orientation != 0) jpeg_write_marker(&encoder, JPEG_APP0 + 1, exif, sizeof exif);
    bytes copy = rgb;
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW row = copy.data() + size_t(encoder.next_scanline) * w * 3;
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    bytes jpeg(buffer, buffer + length);
    std::free(buffer);
    return jpeg;
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
