// Encode then decode: every field the decoded pictures show must be the value that encoding
// computed for that pixel, found in place or at the bit-reversed pixel as the layout says.
#include <cstdlib>
#include <optional>

#include "permute_layer.h"
#include "test_support.h"
#include "layout.h"

namespace {

struct geometry_case {
    int32_t width, height;
    uint32_t trailing;
};

struct pictures {
    bytes main, hidden1, hidden2;
};

// The coded picture and both decoded pictures of one build (`reader` decodes what `writer` wrote).
struct trip {
    bytes coded, first, second;
};

trip round_trip(coder_build writer, coder_build reader, const pictures& p, bool has1, bool has2)
{
    trip t;
    t.coded = encode_in_memory(writer, p.main, has1 ? std::optional(p.hidden1) : std::nullopt,
                               has2 ? std::optional(p.hidden2) : std::nullopt);
    const decoded_pair d = decode_in_memory(reader, t.coded);
    t.first = d.first;
    t.second = d.second;
    return t;
}

uint8_t reverse2(uint32_t bits) { return uint8_t((bits & 1) << 1 | (bits >> 1 & 1)); }

// Dithering moves a value by less than one level, so a kept field is within one of the plain
// truncation of its source; a byte that receives no error (padding, trailing) equals it.
void expect_near(uint32_t field, uint32_t truncation, bool exact, const char* what, size_t i)
{
    const int diff = std::abs(int(field) - int(truncation));
    EXPECT_LE(diff, exact ? 0 : 1) << what << " at raster byte " << i;
}

struct place {
    size_t own;    // this byte's raster index
    size_t moved;  // the same channel of the bit-reversed pixel (own for non-pixel bytes)
    bool pixel;
};

place locate(size_t i, const geometry_case& g)
{
    const uint32_t w = uint32_t(g.width), h = uint32_t(g.height);
    const size_t stride = size_t(w) * 3 + (w & 3);
    const size_t row = i / stride, column = i % stride;
    if (row >= h || column >= size_t(w) * 3) return {i, i, false};
    uint32_t x = uint32_t(column / 3), y = uint32_t(row);
    if (is_power_of_two(w) && is_power_of_two(h)) bit_reverse_xy(x, y, w, h);
    return {i, y * stride + size_t(x) * 3 + column % 3, true};
}

const geometry_case geometries[] = {
    {4, 4, 0}, {8, 2, 5}, {16, 8, 0}, {2, 4, 3}, {32, 16, 1},
    {6, 3, 0}, {5, 7, 2}, {1, 1, 0},  {3, 2, 1}, {12, 5, 4},
};

TEST(round_trip, every_field_comes_back_in_place_or_moved_as_laid_out)
{
    for (const geometry_case& g : geometries) {
        const pictures p{bmp_noise(g.width, g.height, 11, g.trailing), bmp_noise(g.width, g.height, 12, g.trailing),
                         bmp_noise(g.width, g.height, 13, g.trailing)};
        for (coder_build build : all_builds) {
            const bool v2 = build == coder_build::vornhold2;
            for (int combination = 0; combination < 4; ++combination) {
                const bool has1 = combination & 1, has2 = combination & 2;
                SCOPED_TRACE(std::to_string(g.width) + "x" + std::to_string(g.height) + " " + build_name(build) +
                             " hidden1 " + std::to_string(has1) + " hidden2 " + std::to_string(has2));
                const trip t = round_trip(build, build, p, has1, has2);
                ASSERT_EQ(t.first.size(), p.main.size());
                ASSERT_EQ(t.second.size(), p.main.size());
                for (size_t i = 0; i + 54 < p.main.size(); ++i) {
                    const place at = locate(i, g);
                    const bool exact = !at.pixel;
                    const uint8_t coded = t.coded[54 + i], main = p.main[54 + i];
                    const uint8_t h1 = p.hidden1[54 + i], h2 = p.hidden2[54 + i];
                    const uint32_t first_own = t.first[54 + at.own] >> 6, first_moved = t.first[54 + at.moved] >> 6;
                    const uint32_t second_own = t.second[54 + at.own] >> 4;
                    const uint32_t second_moved = t.second[54 + at.moved] >> 4;

                    if (!has1 && !has2) {
                        expect_near(coded >> 4, main >> 4, exact, "C4", i);
                        EXPECT_EQ(first_own | second_own, 0u) << i;
                    } else if (!has2) {
                        expect_near(coded >> 2, main >> 2, exact, "C6", i);
                        expect_near(first_moved, h1 >> 6, exact, "p in Decoded_1", i);
                        const uint32_t p_in_second = v2 ? reverse2(second_own >> 2) : second_own & 3;
                        const uint32_t c_in_second = v2 ? reverse2(second_moved & 3) : second_moved >> 2;
                        expect_near(p_in_second, h1 >> 6, exact, "p in Decoded_2", i);
                        EXPECT_EQ(c_in_second, uint32_t(coded >> 2 & 3)) << i;
                    } else if (!has1) {
                        expect_near(coded >> 4, main >> 4, exact, "C4", i);
                        expect_near(second_own, h2 >> 4, exact, "q in Decoded_2", i);
                        const uint32_t q_bits = v2 ? reverse2(first_moved) : first_moved;
                        EXPECT_EQ(q_bits, v2 ? second_own >> 2 : second_own & 3) << "Decoded_1 " << i;
                    } else {
                        expect_near(coded >> 4, main >> 4, exact, "C4", i);
                        expect_near(second_own & 3, h1 >> 6, exact, "p in Decoded_2", i);
                        expect_near(second_moved >> 2, h2 >> 6, exact, "q in Decoded_2", i);
                        if (v2) expect_near(reverse2(first_own), h2 >> 6, exact, "q in Decoded_1", i);
                        else expect_near(first_moved, h1 >> 6, exact, "p in Decoded_1", i);
                    }
                    if (::testing::Test::HasFailure()) return;
                }
            }
        }
    }
}

TEST(round_trip, a_picture_coded_without_hidden_pictures_decodes_to_zeros)
{
    const pictures p{bmp_noise(8, 4, 1, 3), {}, {}};
    for (coder_build build : all_builds) {
        const trip t = round_trip(build, build, p, false, false);
        EXPECT_TRUE(std::equal(t.first.begin(), t.first.begin() + 54, p.main.begin()));
        EXPECT_TRUE(std::all_of(t.first.begin() + 54, t.first.end(), [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(t.second.begin() + 54, t.second.end(), [](uint8_t b) { return b == 0; }));
    }
}

TEST(round_trip, the_other_build_reads_hidden_2_in_reverse_bit_order)
{
    const geometry_case g{16, 8, 2};
    const pictures p{bmp_noise(16, 8, 21, 2), {}, bmp_noise(16, 8, 22, 2)};
    const trip t = round_trip(coder_build::vornhold, coder_build::vornhold2, p, false, true);
    for (size_t i = 0; i + 54 < p.main.size(); ++i) {
        const place at = locate(i, g);
        const uint8_t q_reversed = uint8_t(t.second[54 + at.own] >> 4);
        expect_near(reverse_nibble(q_reversed), p.hidden2[54 + i] >> 4, !at.pixel, "q", i);
    }
}

}  // namespace
