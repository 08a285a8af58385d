// The bit-reversal permutation and its gate.
#include "permute_layer.h"
#include "test_support.h"

namespace {

TEST(reverse_low_bits, gives_the_listed_values)
{
    const uint32_t size8[] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (uint32_t v = 0; v < 8; ++v) EXPECT_EQ(reverse_low_bits(v, 8), size8[v]) << v;
    struct {
        uint32_t value, size, expected;
    } const cases[] = {
        {5, 1024, 640}, {9, 512, 288}, {13, 16, 11}, {256, 512, 1},
        {0, 2, 0}, {1, 2, 1}, {3, 2, 1},                    // a side of 2 changes nothing
        {0xFFFFFFF5, 16, 10},                                // higher bits are ignored
        {1, 0x80000000u, 0x40000000}, {0x7FFFFFFF, 0x80000000u, 0x7FFFFFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(reverse_low_bits(c.value, c.size), c.expected) << c.value << " " << c.size;
}

TEST(is_power_of_two, accepts_two_to_two_to_the_31)
{
    for (uint32_t k = 1; k < 32; ++k) EXPECT_TRUE(is_power_of_two(uint32_t(1) << k)) << k;
    for (uint32_t size : {0u, 1u, 3u, 6u, 12u, 640u, uint32_t(-8), 0xFFFFFFFFu, 0xC0000000u})
        EXPECT_FALSE(is_power_of_two(size)) << size;
}

// A layer whose pixel bytes name their own pixel, so moves are easy to read back.
struct layer {
    raster_geometry g;
    bytes image;
};

layer numbered_layer(uint32_t width, uint32_t height, uint32_t trailing)
{
    layer l{{}, bmp_noise(int32_t(width), int32_t(height), width * 7 + height, trailing)};
    const uint32_t stride = width * 3 + (width & 3);
    l.g = {uint32_t(l.image.size()), 54, width, height, stride};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t b = 0; b < 3; ++b) l.image[54 + y * stride + 3 * x + b] = uint8_t(y * 16 + x * 3 + b);
    return l;
}

TEST(permute_layer, moves_pixels_to_their_bit_reversed_places_and_nothing_else)
{
    struct {
        uint32_t width, height;
        std::vector<std::pair<uint32_t, uint32_t>> column_swaps, row_swaps;
    } const cases[] = {
        {2, 2, {}, {}},
        {4, 2, {{1, 2}}, {}},
        {2, 4, {}, {{1, 2}}},
        {8, 1 << 1, {{1, 4}, {3, 6}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        layer l = numbered_layer(c.width, c.height, 3);
        const bytes before = l.image;
        bytes scratch(l.image.size() - 54, 0);
        permute_layer(l.image.data(), scratch.data(), l.g);
        EXPECT_TRUE(std::equal(scratch.begin(), scratch.end(), before.begin() + 54));

        auto from = [&](uint32_t v, const auto& swaps) {
            for (const auto& [a, b] : swaps) {
                if (v == a) return b;
                if (v == b) return a;
            }
            return v;
        };
        bytes expected = before;
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x)
                for (uint32_t b = 0; b < 3; ++b)
                    expected[54 + y * l.g.string_length + 3 * x + b] =
                        before[54 + from(y, c.row_swaps) * l.g.string_length + 3 * from(x, c.column_swaps) + b];
        EXPECT_EQ(l.image, expected);
    }
}

TEST(permute_layer, applied_twice_restores_the_layer_with_either_scratch)
{
    for (auto [width, height] : {std::pair{16u, 8u}, {2u, 32u}, {64u, 4u}}) {
        layer l = numbered_layer(width, height, 5);
        l.image = bmp_noise(int32_t(width), int32_t(height), width + height, 5);
        const bytes before = l.image;
        std::vector<int32_t> wide_scratch(l.image.size() - 54);
        bytes narrow_scratch(l.image.size() - 54);
        permute_layer(l.image.data(), wide_scratch.data(), l.g);
        EXPECT_NE(l.image, before);
        permute_layer(l.image.data(), narrow_scratch.data(), l.g);
        EXPECT_EQ(l.image, before) << width << "x" << height;
    }
}

}  // namespace
