// The serpentine error-diffusion quantiser, against hand-worked examples.
#include "dither.h"
#include "test_support.h"

namespace {

constexpr int32_t level = 1 << 24;
constexpr int32_t padding_mark = 0x5A5A5A5A;

struct plane_case {
    const char* name;
    uint32_t width, height, stride;
    std::vector<int32_t> value;  // every entry of the plane on entry, padding included
    std::vector<int32_t> fixed;  // empty: all 0
    std::vector<int32_t> expected;
};

// One channel's worth per pixel repeated over the three channels, padding marked.
std::vector<int32_t> pixels(uint32_t width, uint32_t height, uint32_t stride,
                            const std::vector<int32_t>& per_pixel)
{
    std::vector<int32_t> plane(size_t(height) * stride + 2, padding_mark);
    for (uint32_t r = 0; r < height; ++r)
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t k = 0; k < 3; ++k) plane[r * stride + 3 * x + k] = per_pixel[r * width + x];
    return plane;
}

TEST(dither_planes, reproduces_the_worked_examples)
{
    const int32_t half = level / 2, quarter = level / 4;
    const plane_case cases[] = {
        // 2x2 at half a level: row 0 passes its side share whole, the last row only half.
        {"2x2 half levels", 2, 2, 8, pixels(2, 2, 8, {half, half, half, half}), {},
         pixels(2, 2, 8, {level, half, half, level})},
        // One row, right to left, whole shares; the error of column 0 is dropped.
        {"height 1", 3, 1, 12, pixels(3, 1, 12, {quarter, quarter, quarter}), {},
         pixels(3, 1, 12, {3 * quarter, 2 * quarter, quarter})},
        // Width 1: every pixel is the last of its row, so its whole error goes down.
        {"width 1", 1, 3, 4, pixels(1, 3, 4, {quarter, quarter, quarter}), {},
         pixels(1, 3, 4, {quarter, 2 * quarter, 3 * quarter})},
        // Width 4 has no padding; column 3 still hands its whole error to column 2 in row 0.
        {"width 4", 4, 1, 12, pixels(4, 1, 12, {0, 0, 0, quarter}), {},
         pixels(4, 1, 12, {quarter, quarter, quarter, quarter})},
        // Below 0 lies the level -1: v = -3 has error 2^24 - 3, which goes whole down.
        {"negative value", 1, 2, 4, pixels(1, 2, 4, {-3, 0}), {}, pixels(1, 2, 4, {-3, level - 3})},
        // A fixed part above the low bits gives a negative error; its halves truncate to -1.
        // Row 1 column 0 has low bits 3 against a fixed part of 6: e = -3, halves of -1 each.
        // Column 1 then sits just below 0 and hands 2^24 - 1 down, whose half comes back left.
        {"fixed above the low bits", 2, 3, 8, pixels(2, 3, 8, {0, 0, 3, 0, 0, 0}),
         pixels(2, 3, 8, {0, 0, 6, 0, 0, 0}),
         pixels(2, 3, 8, {0, 0, 3, -1, 0x7FFFFE, 0xFFFFFF})},
        {"one pixel", 1, 1, 4, pixels(1, 1, 4, {quarter}), {}, pixels(1, 1, 4, {quarter})},
        {"width 0", 0, 2, 0, {7, 7}, {}, {7, 7}},
        {"height 0", 2, 0, 8, {7, 7}, {}, {7, 7}},
    };
    for (const plane_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int32_t> value = c.value;
        std::vector<int32_t> fixed = c.fixed.empty() ? std::vector<int32_t>(value.size(), 0) : c.fixed;
        const std::vector<int32_t> fixed_before = fixed;
        dither_planes(c.width, value.data(), fixed.data(), c.height, c.stride);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(fixed, fixed_before);
    }
}

// The hidden-2 stage of the 2x2 encoding example: bytes of 60 against a decided value of 3,
// listed in units of 2^22.
TEST(dither_planes, reproduces_the_hidden2_entries_of_the_encoding_example)
{
    std::vector<int32_t> value(16, 60 << 18), fixed(16, 3 << 22);
    dither_planes(2, value.data(), fixed.data(), 2, 8);
    const double unit = 1 << 22;
    const double expected[16] = {4.5, 4.5, 4.5, 3.75, 3.75, 3.75, 3.75, 3.75,
                                 1.25, 1.25, 1.25, 3.25, 3.25, 3.25, 3.75, 3.75};
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(value[i] / unit, expected[i]) << i;
}

TEST(dither_planes, touches_no_padding_and_nothing_past_the_last_row)
{
    for (uint32_t width : {1u, 2u, 3u, 5u, 6u}) {
        const uint32_t height = 5, stride = width * 3 + (width & 3);
        std::vector<int32_t> value(size_t(height + 1) * stride, padding_mark);
        for (uint32_t r = 0; r < height; ++r)
            for (uint32_t b = 0; b < width * 3; ++b) value[r * stride + b] = int32_t((r * 31 + b * 17) % 256) << 20;
        const std::vector<int32_t> before = value;
        std::vector<int32_t> fixed(value.size(), 5 << 20);
        dither_planes(width, value.data(), fixed.data(), height, stride);
        for (size_t i = 0; i < value.size(); ++i) {
            const bool pixel = i < size_t(height) * stride && i % stride < width * 3;
            if (!pixel) {
                EXPECT_EQ(value[i], before[i]) << "width " << width << " entry " << i;
            }
        }
    }
}

}  // namespace
