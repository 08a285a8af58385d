// Header reading and the checks that decide whether a picture is accepted.
#include "bmp.h"
#include "header_checks.h"
#include "test_support.h"

namespace {

struct header_case {
    const char* name;
    int32_t width;
    int32_t height;
    uint32_t offset;
    int64_t length_delta;  // file length relative to offset + height * string_length (wrapped)
    header_check expected;
    uint16_t magic = bmp_magic;
    uint16_t bits = 24;
};

// A header-only image whose length is the raster end plus `delta` (never below 30 here).
bytes header_image(const header_case& c)
{
    const uint64_t raster_end =
        uint64_t(c.offset) + uint64_t(uint32_t(c.height)) * uint32_t(string_length(c.width));
    const int64_t wanted = int64_t(raster_end & 0xFFFFFFFF) + c.length_delta;
    bytes image(size_t(std::max<int64_t>(wanted, 30)), 0);
    put_le16(image, 0, c.magic);
    put_le32(image, 10, c.offset);
    put_le32(image, 18, uint32_t(c.width));
    put_le32(image, 22, uint32_t(c.height));
    put_le16(image, 28, c.bits);
    return image;
}

TEST(check_main_header, accepts_and_refuses_at_the_boundaries)
{
    using hc = header_check;
    const header_case cases[] = {
        {"width 1 exact", 1, 3, 54, 0, hc::accepted},
        {"width 1 one short", 1, 3, 54, -1, hc::corrupted},
        {"width 2 exact", 2, 3, 54, 0, hc::accepted},
        {"width 2 one short", 2, 3, 54, -1, hc::corrupted},
        {"width 3 exact", 3, 3, 54, 0, hc::accepted},
        {"width 3 one short", 3, 3, 54, -1, hc::corrupted},
        {"width 4 exact", 4, 3, 54, 0, hc::accepted},
        {"width 4 one short", 4, 3, 54, -1, hc::corrupted},
        {"width 5 exact", 5, 3, 54, 0, hc::accepted},
        {"width 5 one short", 5, 3, 54, -1, hc::corrupted},
        {"trailing bytes", 5, 3, 54, 1000, hc::accepted},
        {"no pixels", 0, 0, 54, 0, hc::accepted},
        {"wrong magic", 4, 2, 54, 0, hc::not_supported, 0x4E42},
        {"8 bits", 4, 2, 54, 0, hc::not_supported, bmp_magic, 8},
        {"32 bits", 4, 2, 54, 0, hc::not_supported, bmp_magic, 32},
        {"negative width", -4, 2, 54, 0, hc::not_supported},
        // 54 + (-2) * 12 wraps to 30 in 32 bits and would pass a wrapping test.
        {"negative height", 3, -2, 54, 0, hc::not_supported},
        {"row longer than 2^31-1", 715827882, 0, 54, 0, hc::not_supported},
        {"longest row, no room", 715827881, 1, 54, -2147483000, hc::corrupted},
        // 65536 rows of 65536 bytes: the product wraps to 0 in 32 bits.
        {"product wraps", 21845, 65536, 54, 0, hc::corrupted},
        {"sum wraps", 1, 1, 0xFFFFFFFE, 0, hc::corrupted},
        {"negative offset", 0, 0, 0xFFFFFFF0, -0xFFFFFF00LL, hc::corrupted},
        {"offset beyond the end", 0, 0, 1000, -900, hc::corrupted},
    };
    for (const header_case& c : cases) {
        SCOPED_TRACE(c.name);
        const bytes image = header_image(c);
        raster_geometry geometry{};
        EXPECT_EQ(check_main_header(image.data(), uint32_t(image.size()), geometry), c.expected);
        if (c.expected == hc::accepted) {
            EXPECT_EQ(geometry.string_length, uint32_t(string_length(c.width)));
            EXPECT_EQ(geometry.length, image.size());
        }
    }
}

TEST(check_main_header, refuses_a_file_too_short_for_the_header)
{
    bytes image = bmp_file(1, 1, 0);
    for (uint32_t length : {0u, 1u, 29u}) {
        raster_geometry geometry{};
        EXPECT_EQ(check_main_header(image.data(), length, geometry), header_check::not_supported)
            << length;
    }
}

TEST(same_geometry, each_field_must_match)
{
    const bytes main = bmp_file(4, 2, 0);
    raster_geometry geometry{};
    ASSERT_EQ(check_main_header(main.data(), uint32_t(main.size()), geometry),
              header_check::accepted);
    struct {
        const char* name;
        size_t offset;
        uint32_t value;
        int size;  // bytes written at offset; 0 leaves the header as it is
        bool expected;
    } const cases[] = {
        {"identical", 0, 0, 0, true},
        {"magic", 0, 0x4D43, 2, false},
        {"bit count", 28, 32, 2, false},
        {"width", 18, 8, 4, false},
        {"height", 22, 1, 4, false},
        {"offset_raster", 10, 55, 4, false},
        {"file size field is not read", 2, 12345, 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bytes hidden = main;
        if (c.size == 2) put_le16(hidden, c.offset, uint16_t(c.value));
        if (c.size == 4) put_le32(hidden, c.offset, c.value);
        EXPECT_EQ(same_geometry(hidden.data(), uint32_t(hidden.size()), geometry), c.expected);
    }
    EXPECT_FALSE(same_geometry(main.data(), uint32_t(main.size()) - 1, geometry));
}

}  // namespace
