// The EXIF orientation read from a JPEG's segments: the tag in either byte order, and 1 for
// anything that is missing, cut short or not what the tag should be.
#include <gtest/gtest.h>

#include "exif_orientation.h"

namespace {

using bytes = std::vector<uint8_t>;

// SOI, one APP1 segment holding `body`, then the start of a scan.
bytes jpeg_with_app1(const bytes& body, int declared_extra = 0)
{
    bytes jpeg{0xFF, 0xD8, 0xFF, 0xE1};
    const size_t length = body.size() + 2 + size_t(declared_extra);
    jpeg.push_back(uint8_t(length >> 8));
    jpeg.push_back(uint8_t(length));
    jpeg.insert(jpeg.end(), body.begin(), body.end());
    jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0, 2});
    return jpeg;
}

bytes exif(bool big_endian, uint16_t tag, uint16_t type, uint32_t count, uint16_t value)
{
    const auto u16 = [&](uint16_t v) { return big_endian ? bytes{uint8_t(v >> 8), uint8_t(v)} : bytes{uint8_t(v), uint8_t(v >> 8)}; };
    const auto u32 = [&](uint32_t v) {
        bytes high = u16(uint16_t(v >> 16)), low = u16(uint16_t(v));
        if (big_endian) high.insert(high.end(), low.begin(), low.end());
        else low.insert(low.end(), high.begin(), high.end());
        return big_endian ? high : low;
    };
    bytes b{'E', 'x', 'i', 'f', 0, 0};
    for (const bytes& part : {big_endian ? bytes{'M', 'M'} : bytes{'I', 'I'}, u16(42), u32(8), u16(1), u16(tag),
                              u16(type), u32(count), u16(value), u16(0), u32(0)})
        b.insert(b.end(), part.begin(), part.end());
    return b;
}

TEST(exif_orientation, reads_the_tag_and_refuses_what_does_not_hold_it)
{
    bytes cut = exif(true, 0x0112, 3, 1, 6);
    cut.resize(20);
    struct {
        const char* name;
        bytes jpeg;
        int orientation;
    } const cases[] = {
        {"big-endian 6", jpeg_with_app1(exif(true, 0x0112, 3, 1, 6)), 6},
        {"little-endian 8", jpeg_with_app1(exif(false, 0x0112, 3, 1, 8)), 8},
        {"no APP1", bytes{0xFF, 0xD8, 0xFF, 0xDA, 0, 2}, 1},
        {"another tag", jpeg_with_app1(exif(true, 0x0110, 3, 1, 6)), 1},
        {"not a SHORT", jpeg_with_app1(exif(true, 0x0112, 4, 1, 6)), 1},
        {"two values", jpeg_with_app1(exif(true, 0x0112, 3, 2, 6)), 1},
        {"out of range", jpeg_with_app1(exif(true, 0x0112, 3, 1, 9)), 1},
        {"IFD cut short", jpeg_with_app1(cut), 1},
        {"segment longer than the file", jpeg_with_app1(exif(true, 0x0112, 3, 1, 6), 1000), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(exif_orientation(c.jpeg), c.orientation);
    }
}

// A 3 x 2 picture whose pixel values name their stored place, turned for each orientation.
TEST(exif_orientation, turns_the_pixels_upright)
{
    struct {
        int orientation;
        uint32_t width;
        bytes first_row;  // the red byte of each pixel of the upright top row
    } const cases[] = {
        {1, 3, {0, 1, 2}}, {2, 3, {2, 1, 0}}, {3, 3, {5, 4, 3}}, {4, 3, {3, 4, 5}},
        {5, 2, {0, 3}},    {6, 2, {3, 0}},    {7, 2, {5, 2}},    {8, 2, {2, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        rgb_picture picture;
        picture.width = 3;
        picture.height = 2;
        picture.rgb.allocate(18);
        for (uint8_t i = 0; i < 18; ++i) picture.rgb[i] = uint8_t(i / 3);
        turn_upright(picture, c.orientation);
        ASSERT_EQ(picture.width, c.width);
        ASSERT_EQ(picture.height, 6 / c.width);
        for (uint32_t x = 0; x < c.width; ++x) EXPECT_EQ(picture.rgb[x * 3], c.first_row[x]);
    }
}

}  // namespace
