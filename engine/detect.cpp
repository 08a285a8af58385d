// vorn_detect: which hidden pictures a coded picture holds, and which build wrote it, guessed
// from the picture alone.
//
// A picture's bit planes are smooth: neighbouring pixels mostly agree in their high bits. A
// field scrambled by the bit-reversal permutation looks like noise where it lies and becomes
// smooth again once unscrambled; a field in place is the other way round. And within one
// picture's field the most significant bit is the smoothest. So each of the four low bits is
// measured in place and unscrambled, and the layouts are told apart by which bits are smooth
// where:
//   hidden 1 alone: bits 3 and 2 continue the 6-bit carrier: where the carrier's top nibble
//     steps up by one between neighbours, the two bits below it wrap from high to low;
//   both, vornhold:  bits 3 2 in place (q1 q0),    bits 1 0 scrambled (p1 p0);
//   both, vornhold2: bits 3 2 scrambled (p0 p1),   bits 1 0 in place (q0 q1);
//   2 alone: all four scrambled, the smoothest bit on top (vornhold) or at the bottom
//     (vornhold2).
// Pictures whose sides are not powers of two are never scrambled; there only the ranks of the
// bits tell the layouts apart.
#include <cstddef>
#include <cstdint>

#include "bmp.h"
#include "layout_table.h"
#include "permute.h"

namespace {

// Rows and columns looked at, at most: enough pairs for stable figures on any size, and a
// bounded cost on the largest pictures.
constexpr uint32_t sampled_rows = 192;
constexpr uint32_t sampled_columns = 768;

struct picture_view {
    const uint8_t* raster;
    vorn_geometry g;
    bool scrambled;  // both sides powers of two

    // The colour byte at (x, y); `unscrambled` reads the field as the permutation would put it
    // back.
    uint8_t at(uint32_t x, uint32_t y, uint32_t channel, bool unscrambled) const
    {
        if (unscrambled && scrambled) {
            x = reverse_low_bits(x, g.width);
            y = reverse_low_bits(y, g.height);
        }
        return raster[size_t(y) * g.string_length + size_t(x) * 3 + channel];
    }
};

// How much a bit plane's neighbours agree beyond chance: 1 when they always agree, about 0 for
// noise (the agreement two independent draws of the plane would have).
struct agreement {
    uint64_t pairs = 0, same = 0, ones = 0;

    void add(uint8_t a, uint8_t b, uint8_t mask)
    {
        const bool bit_a = (a & mask) != 0, bit_b = (b & mask) != 0;
        ++pairs;
        same += bit_a == bit_b;
        ones += uint64_t(bit_a) + bit_b;
    }

    double smoothness() const
    {
        if (pairs == 0) return 0;
        const double p = double(ones) / double(2 * pairs);
        const double chance = p * p + (1 - p) * (1 - p);
        if (chance >= 1) return 1;  // a constant plane: smooth, but says nothing
        return (double(same) / double(pairs) - chance) / (1 - chance);
    }
};

// The wrap of bits 3 and 2 when the nibble above them steps by one: +1 per pair where the
// lower neighbour's bits are the higher ones, -1 the other way.
struct carry {
    int64_t balance = 0;
    uint64_t steps = 0;

    void add(uint8_t a, uint8_t b)
    {
        if ((a >> 4) + 1 == (b >> 4)) count((a >> 2) & 3, (b >> 2) & 3);
        if ((b >> 4) + 1 == (a >> 4)) count((b >> 2) & 3, (a >> 2) & 3);
    }

    void count(int low_bits_below, int low_bits_above)
    {
        ++steps;
        balance += (low_bits_below > low_bits_above) - (low_bits_below < low_bits_above);
    }
};

struct measures {
    agreement bits[2][4];  // [unscrambled][bit]
    carry wrap;
};

void add_pair(measures& m, const picture_view& view, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1)
{
    for (uint32_t channel = 0; channel < 3; ++channel) {
        for (int unscrambled = 0; unscrambled < (view.scrambled ? 2 : 1); ++unscrambled) {
            const uint8_t a = view.at(x0, y0, channel, unscrambled);
            const uint8_t b = view.at(x1, y1, channel, unscrambled);
            for (int bit = 0; bit < 4; ++bit) m.bits[unscrambled][bit].add(a, b, uint8_t(1 << bit));
            if (!unscrambled) m.wrap.add(a, b);
        }
    }
}

measures measure(const picture_view& view)
{
    measures m;
    const uint32_t width = view.g.width, height = view.g.height;
    const uint32_t row_step = height > sampled_rows ? height / sampled_rows : 1;
    const uint32_t column_step = width > sampled_columns ? width / sampled_columns : 1;
    for (uint32_t y = 0; y < height; y += row_step)
        for (uint32_t x = 0; x < width; x += column_step) {
            if (x + 1 < width) add_pair(m, view, x, y, x + 1, y);
            if (y + 1 < height) add_pair(m, view, x, y, x, y + 1);
        }
    if (!view.scrambled)
        for (int bit = 0; bit < 4; ++bit) m.bits[1][bit] = m.bits[0][bit];
    return m;
}

// Bits 3 and 2 continue the carrier when at least this share of the nibble's steps wraps them
// the carrier's way; an independent field there gives about 0.
constexpr double carrier_wrap_share = 0.25;
constexpr uint64_t fewest_steps = 32;

// A picture encoded without hidden pictures has its field 0 in every byte from offset_raster on,
// padding and trailing bytes included.
bool has_low_bits(const uint8_t* image, const raster_geometry& g)
{
    const uint8_t field = low_mask(field_bits(layout_table[VORN_LAYOUT_NONE]));
    for (size_t at = g.offset_raster; at < g.length; ++at)
        if (image[at] & field) return true;
    return false;
}

// The bits of a coded byte that encoding scrambles in this layout.
uint8_t scrambled_bits(const vorn_layout_info& info)
{
    uint8_t bits = 0;
    for (const vorn_layout_picture& picture : info.picture)
        if (picture.scrambled) bits = uint8_t(bits | stored_bits(info, picture));
    return bits;
}

// The layout with both hidden pictures whose scrambled bits these are.
vorn_layout both_scrambling(uint8_t bits)
{
    return layout_where([bits](const vorn_layout_info& info) {
        return holds(info, 1) && holds(info, 2) && scrambled_bits(info) == bits;
    });
}

// The guess from the measures, for a picture that has low bits.
vorn_layout layout_from(const measures& m, bool scrambled)
{
    if (m.wrap.steps >= fewest_steps &&
        double(m.wrap.balance) > carrier_wrap_share * double(m.wrap.steps))
        return layout_where([](const vorn_layout_info& info) { return info.carrier_bits == 6; });
    double in_place[4], unscrambled[4];
    for (int bit = 0; bit < 4; ++bit) {
        in_place[bit] = m.bits[0][bit].smoothness();
        unscrambled[bit] = m.bits[1][bit].smoothness();
    }
    if (scrambled) {
        // Positive where a pair of bits is smoother in place than unscrambled.
        const double high = in_place[3] + in_place[2] - unscrambled[3] - unscrambled[2];
        const double low = in_place[1] + in_place[0] - unscrambled[1] - unscrambled[0];
        if (high > 0 && low < 0) return both_scrambling(0x03);
        if (high < 0 && low > 0) return both_scrambling(0x0C);
    }
    const double* s = scrambled ? unscrambled : in_place;
    // Both builds keep a field's most significant bit at bit 3 (vornhold) or bit 0 (vornhold2)
    // when hidden picture 2 is alone, and at bit 3 or bit 0 beside hidden picture 1 as well.
    const bool plain_order = s[3] > s[0];
    // Alone, hidden picture 2's second bit (bit 2 or bit 1) is smoother than its third; beside
    // hidden picture 1 the other of the two is hidden picture 1's most significant bit.
    const bool alone = plain_order ? s[2] > s[1] : s[1] > s[2];
    return layout_where([&](const vorn_layout_info& info) {
        return holds(info, 2) && info.reversed == !plain_order && holds(info, 1) == !alone;
    });
}

}  // namespace

vorn_error vorn_detect(const uint8_t* coded, size_t length, vorn_layout* layout)
{
    if (!coded || !layout) return VORN_ERR_ARGUMENT;
    picture_view view;
    if (const vorn_error error = check_header(coded, length, view.g)) return error;
    if (!has_low_bits(coded, view.g)) {
        *layout = VORN_LAYOUT_NONE;
        return VORN_OK;
    }
    view.raster = coded + view.g.offset_raster;
    view.scrambled = scrambles(view.g);
    *layout = layout_from(measure(view), view.scrambled);
    return VORN_OK;
}
