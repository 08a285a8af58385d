// The readers decode straight into either layout: the coder file image they leave is the one the
// engine makes from the packed rows they leave, for every row order, depth and interlacing.
#include <gtest/gtest.h>

#include <spng.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bmp_reader.h"
#include "jpeg_reader.h"
#include "png_codec.h"
#include "picture_files.h"
#include "vorn.h"

namespace {

using bytes = std::vector<uint8_t>;

// Odd widths pad every BMP row; 9 rows give every interlacing pass some rows.
constexpr uint32_t width = 7, height = 9;

bytes rgb_pixels()
{
    bytes rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 29 + i / 7);
    return rgb;
}

// The pixels as an 8- or 16-bit RGB PNG (a 16-bit sample v * 257 rounds back to v), interlaced
// when asked, written by libspng itself.
bytes png_file(const bytes& rgb, int depth, bool interlaced)
{
    bytes samples;
    for (const uint8_t value : rgb) {
        samples.push_back(value);
        if (depth == 16) samples.push_back(value);  // big-endian v * 257
    }
    png_extra extra;
    extra.interlaced = interlaced;
    return png_of_samples(samples, width, height, SPNG_COLOR_TYPE_TRUECOLOR, uint8_t(depth), extra);
}

using reader = std::function<rgb_picture(const bytes&, pixel_layout)>;

reader png_reader()
{
    return [](const bytes& file, pixel_layout layout) { return read_png(file, "p", read_limits(), layout); };
}

reader bmp_reader()
{
    return [](const bytes& file, pixel_layout layout) { return read_bmp(file, "p", read_limits(), layout); };
}

reader jpeg_reader()
{
    return [](const bytes& file, pixel_layout layout) { return read_jpeg(file, "p", read_limits(), layout); };
}

TEST(vorn_picture_layout, every_reader_gives_the_engines_file_image_of_its_rows)
{
    const bytes rgb = rgb_pixels();
    const struct {
        const char* name;
        bytes file;
        reader read;
        bool lossless;  // the packed rows are the pixels themselves
    } cases[] = {
        {"png 8-bit", png_file(rgb, 8, false), png_reader(), true},
        {"png 8-bit interlaced", png_file(rgb, 8, true), png_reader(), true},
        {"png 16-bit", png_file(rgb, 16, false), png_reader(), true},
        {"png 16-bit interlaced", png_file(rgb, 16, true), png_reader(), true},
        {"bmp 32-bit", bmp_variant(rgb, width, height, 40, 32, false), bmp_reader(), true},
        {"bmp top-down", bmp_variant(rgb, width, height, 40, 24, true), bmp_reader(), true},
        {"jpeg upright", jpeg_of_rgb(rgb, width, height, 90, 0), jpeg_reader(), false},
        {"jpeg turned", jpeg_of_rgb(rgb, width, height, 90, 6), jpeg_reader(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const rgb_picture rows = c.read(c.file, pixel_layout::rgb);
        const rgb_picture image = c.read(c.file, pixel_layout::coder_image);
        const bytes packed(rows.rgb.data(), rows.rgb.data() + rows.rgb.size());
        if (c.lossless) {
            EXPECT_EQ(packed, rgb);
        }
        ASSERT_EQ(image.layout, pixel_layout::coder_image);
        ASSERT_EQ(image.width, rows.width);
        ASSERT_EQ(image.height, rows.height);
        size_t length = 0;
        ASSERT_EQ(vorn_bmp_length(rows.width, rows.height, &length), VORN_OK);
        bytes expected(length);
        vorn_bmp_from_rgb(packed.data(), rows.width, rows.height, size_t(rows.width) * 3, 3, expected.data(),
                          expected.size());
        EXPECT_EQ(image.image, expected);
    }
}

}  // namespace
