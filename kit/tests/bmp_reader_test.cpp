// The BMP reader, one row per header field: the layouts it reads give the same pixels, and every
// field it refuses gives its own message.
#include <gtest/gtest.h>

#include <functional>

#include "bmp_reader.h"
#include "fault.h"
#include "png_codec.h"

namespace {

using bytes = std::vector<uint8_t>;

void put(bytes& b, size_t at, uint32_t value, int count = 4)
{
    for (int i = 0; i < count; ++i) b[at + i] = uint8_t(value >> (8 * i));
}

// A 3x2 picture whose pixel (x, y) is R = 10x + y, G = 100 + y, B = 200 + x, as a BMP with the
// given header size (12 or 40 or more), bits per pixel and row order.
bytes picture_bmp(uint32_t header_size, uint32_t bits, bool top_down)
{
    const uint32_t width = 3, height = 2, pixel = bits / 8, row = (width * pixel + 3) / 4 * 4;
    const uint32_t offset = 14 + header_size + (header_size == 40 && bits == 32 ? 12 : 0);
    bytes b(offset + row * height, 0);
    b[0] = 'B';
    b[1] = 'M';
    put(b, 2, uint32_t(b.size()));
    put(b, 10, offset);
    put(b, 14, header_size);
    if (header_size == 12) {
        put(b, 18, width, 2);
        put(b, 20, height, 2);
        put(b, 22, 1, 2);
        put(b, 24, bits, 2);
    } else {
        put(b, 18, width);
        put(b, 22, top_down ? uint32_t(-int32_t(height)) : height);
        put(b, 26, 1, 2);
        put(b, 28, bits, 2);
    }
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &b[offset + (top_down ? y : height - 1 - y) * row + x * pixel];
            p[0] = uint8_t(200 + x);
            p[1] = uint8_t(100 + y);
            p[2] = uint8_t(10 * x + y);
        }
    return b;
}

bytes expected_rgb()
{
    bytes rgb;
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x) rgb.insert(rgb.end(), {uint8_t(10 * x + y), uint8_t(100 + y), uint8_t(200 + x)});
    return rgb;
}

// A 32-bit BMP with bit-field masks that put red in the first byte and blue in the third.
bytes bitfields_bmp()
{
    bytes b = picture_bmp(40, 32, false);
    put(b, 30, 3);
    put(b, 54, 0xFF0000);
    put(b, 58, 0xFF00);
    put(b, 62, 0xFF);
    return b;
}

struct row {
    const char* name;
    std::function<bytes()> make;
    const char* message;  // null: read, with the expected pixels
};

TEST(vorn_bmp_reader, reads_every_layout_and_names_every_refused_field)
{
    const row rows[] = {
        {"24-bit bottom-up", [] { return picture_bmp(40, 24, false); }, nullptr},
        {"24-bit top-down", [] { return picture_bmp(40, 24, true); }, nullptr},
        {"32-bit", [] { return picture_bmp(40, 32, false); }, nullptr},
        {"32-bit bit fields", bitfields_bmp, nullptr},
        {"core header", [] { return picture_bmp(12, 24, false); }, nullptr},
        {"fifth-version header", [] { return picture_bmp(124, 24, true); }, nullptr},
        {"no BM", [] { bytes b = picture_bmp(40, 24, false); b[1] = 'A'; return b; },
         "p: not a BMP file (it does not begin with BM)"},
        {"header size 8", [] { bytes b = picture_bmp(40, 24, false); put(b, 14, 8); return b; },
         "p: the BMP header is cut short or has an unknown size"},
        {"header past the end", [] { bytes b = picture_bmp(40, 24, false); put(b, 14, 4000); return b; },
         "p: the BMP header is cut short or has an unknown size"},
        {"negative width", [] { bytes b = picture_bmp(40, 24, false); put(b, 18, uint32_t(-3)); return b; },
         "p: the BMP has a negative width"},
        {"two planes", [] { bytes b = picture_bmp(40, 24, false); put(b, 26, 2, 2); return b; },
         "p: the BMP has 2 planes, not 1"},
        {"16 bits", [] { bytes b = picture_bmp(40, 24, false); put(b, 28, 16, 2); return b; },
         "p: the BMP has 16 bits per pixel; vorn reads 24- and 32-bit BMPs: save it with 24 bits per pixel or as a PNG first"},
        {"no pixels", [] { bytes b = picture_bmp(40, 24, false); put(b, 22, 0); return b; },
         "p: the BMP holds no pixels"},
        {"run-length compressed", [] { bytes b = picture_bmp(40, 24, false); put(b, 30, 1); return b; },
         "p: a compressed BMP (compression 1); save it uncompressed with 24 bits per pixel or as a PNG first"},
        {"24-bit with masks", [] { bytes b = picture_bmp(40, 24, false); put(b, 30, 3); return b; },
         "p: a 24-bit BMP with bit-field masks is not valid"},
        {"mask across bytes", [] { bytes b = bitfields_bmp(); put(b, 54, 0xFF0); return b; },
         "p: the BMP's red mask is not one whole byte; save it as a 24-bit BMP or a PNG first"},
        {"raster past the end", [] { bytes b = picture_bmp(40, 24, false); b.pop_back(); return b; },
         "p: the BMP is corrupted: its header promises more pixels than the file holds"},
        {"offset inside the header", [] { bytes b = picture_bmp(40, 24, false); put(b, 10, 2); return b; },
         "p: the BMP is corrupted: its header promises more pixels than the file holds"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        try {
            const rgb_picture picture = read_bmp(r.make(), "p");
            ASSERT_EQ(r.message, nullptr);
            EXPECT_EQ(bytes(picture.rgb.data(), picture.rgb.data() + picture.rgb.size()), expected_rgb());
        } catch (const kit_fault& refused) {
            ASSERT_NE(r.message, nullptr) << refused.text;
            EXPECT_EQ(refused.kind, kit::fault::input);
            EXPECT_EQ(refused.text, r.message);
        }
    }
}

// A PNG whose header promises 30000 x 30000 pixels in a few bytes fails as a broken file at
// once, the picture limit raised; its pixel buffer is taken but never filled.
TEST(vorn_png_reader, a_header_that_promises_more_than_the_file_holds_fails_quickly)
{
    rgb_picture tiny;
    tiny.width = tiny.height = 1;
    tiny.rgb.allocate(3);
    tiny.rgb[0] = tiny.rgb[1] = tiny.rgb[2] = 7;
    bytes png = write_png(tiny, "t.png");
    put(png, 16, 0x30750000);  // width 30000, big-endian
    put(png, 20, 0x30750000);  // height 30000
    uint32_t crc = 0xFFFFFFFF;  // the chunk's CRC-32 over its type and data, bytes 12 to 28
    for (size_t at = 12; at < 29; ++at) {
        crc ^= png[at];
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    crc = ~crc;
    put(png, 29, uint32_t(crc >> 24 | (crc >> 8 & 0xFF00) | (crc << 8 & 0xFF0000) | crc << 24));
    try {
        read_png(png, "big.png", read_limits{uint64_t(900) << 20, nullptr});
        FAIL() << "read";
    } catch (const kit_fault& refused) {
        EXPECT_EQ(refused.kind, kit::fault::input);
        EXPECT_EQ(refused.text.rfind("big.png: not a readable PNG file (", 0), 0u) << refused.text;
        EXPECT_EQ(refused.text.find("crc"), std::string::npos) << refused.text;
    }
}

}  // namespace
