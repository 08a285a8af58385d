// The layout descriptors: what each says of a coded byte is what encoding, which keeps its own bit
// rules, writes there; and the calls that answer from them agree with one another.
#include <set>
#include <string>

#include "test_support.h"

namespace {

// A 4 x 4 picture, 0 everywhere but `value` in the three bytes of raster pixel (1, y). The
// bit-reversal permutation moves that pixel to (2, y) for y = 0 and 3.
bytes marked(uint8_t value, uint32_t y)
{
    bytes file = bmp_file(4, 4, 0);
    for (size_t c = 0; c < 3; ++c) file[54 + y * 12 + 3 + c] = value;
    return file;
}

uint8_t reversed_nibble(uint8_t v) { return uint8_t((v & 1) << 3 | (v & 2) << 1 | (v & 4) >> 1 | (v & 8) >> 3); }

TEST(layout, each_descriptor_says_where_encoding_puts_the_bits)
{
    // The marked tones dither without error to the levels below: hidden 1's 192 in the last row
    // walked is level 3 of 2 bits; hidden 2's 16 alone in the first row is level 1 of 4 bits,
    // and its 64 over hidden 1's bits of 0 there level 1 of 2. The carrier's 0x8C keeps bits 3
    // and 2 set wherever it takes six bits.
    for (int index = VORN_LAYOUT_HIDDEN1; index <= VORN_LAYOUT_BOTH_VORNHOLD2; ++index) {
        const vorn_layout layout = vorn_layout(index);
        const vorn_layout_info* info = vorn_layout_describe(layout);
        ASSERT_NE(info, nullptr);
        SCOPED_TRACE(info->name);
        const vorn_build build = info->builds & (1u << VORN_VORNHOLD2) ? VORN_VORNHOLD2 : VORN_VORNHOLD;
        const bool has1 = info->picture[0].bits > 0, has2 = info->picture[1].bits > 0;
        bytes coded = bmp_file(4, 4, 0x8C);
        bytes hidden1 = marked(192, 3), hidden2 = marked(has1 ? 64 : 16, 0);
        size_t work_size = 0;
        vorn_geometry g{};
        ASSERT_EQ(vorn_check_carrier(coded.data(), coded.size(), &g), VORN_OK);
        ASSERT_EQ(vorn_encode_work_size(&g, &work_size), VORN_OK);
        std::vector<uint8_t> work(work_size);
        ASSERT_EQ(vorn_encode(coded.data(), coded.size(), has1 ? hidden1.data() : nullptr, hidden1.size(),
                              has2 ? hidden2.data() : nullptr, hidden2.size(), build, work.data(), work.size(),
                              nullptr),
                  VORN_OK);
        ASSERT_EQ(vorn_layout_of(build, has1, has2), layout);

        const uint8_t field_mask = uint8_t((1u << (8 - info->carrier_bits)) - 1);
        const unsigned marked_level[2] = {3, 1}, marked_row[2] = {3, 0};
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 4; ++x) {
                unsigned plain = 0;
                for (int which = 0; which < 2; ++which) {
                    const vorn_layout_picture& p = info->picture[which];
                    if (p.bits > 0 && y == marked_row[which] && x == (p.scrambled ? 2u : 1u))
                        plain |= marked_level[which] << p.shift;
                }
                const uint8_t stored = info->reversed ? reversed_nibble(uint8_t(plain)) : uint8_t(plain);
                for (size_t c = 0; c < 3; ++c) {
                    EXPECT_EQ(coded[54 + y * 12 + x * 3 + c] & field_mask, stored) << "pixel " << x << "," << y;
                }
            }
        if (info->carrier_bits == 6) {
            EXPECT_EQ(coded[54 + 9] & 0x0C, 0x0C) << "the carrier's bits 3 and 2";
        }
    }
}

TEST(layout, descriptors_agree_with_the_calls_that_answer_from_them)
{
    std::set<std::string> names;
    std::set<int> orders;
    for (int index = VORN_LAYOUT_NONE; index <= VORN_LAYOUT_BOTH_VORNHOLD2; ++index) {
        const vorn_layout layout = vorn_layout(index);
        const vorn_layout_info* info = vorn_layout_describe(layout);
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(names.insert(info->name).second) << info->name;
        if (info->decode_order > 0) {
            EXPECT_TRUE(orders.insert(info->decode_order).second) << info->name;
        }
        for (int which = 1; which <= 2; ++which) {
            EXPECT_EQ(vorn_layout_holds(layout, which), info->picture[which - 1].bits > 0) << info->name;
        }
        for (const vorn_build build : {VORN_VORNHOLD2, VORN_VORNHOLD}) {
            const bool writes = info->builds & (1u << build);
            const vorn_layout of = vorn_layout_of(build, vorn_layout_holds(layout, 1), vorn_layout_holds(layout, 2));
            EXPECT_EQ(of == layout, writes) << info->name << " build " << build;
        }
    }
    EXPECT_EQ(orders.size(), 5u);  // every layout with a hidden picture, NONE not
    EXPECT_EQ(vorn_layout_describe(vorn_layout(6)), nullptr);
    EXPECT_EQ(vorn_layout_describe(vorn_layout(7)), nullptr);
    EXPECT_EQ(vorn_layout_holds(VORN_LAYOUT_BOTH_VORNHOLD, 3), 0);
}

}  // namespace
