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
#include <algorithm>
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
        return pixel(x, y, unscrambled)[channel];
    }

    // The three colour bytes of the pixel at (x, y), or of the one the permutation brings there.
    const uint8_t* pixel(uint32_t x, uint32_t y, bool unscrambled) const
    {
        if (unscrambled && scrambled) {
            x = reverse_low_bits(x, g.width);
            y = reverse_low_bits(y, g.height);
        }
        return raster + size_t(y) * g.string_length + size_t(x) * 3;
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

// Calls add(x0, y0, x1, y1) for each pixel of a grid sampled evenly over the picture (every
// pixel of a small one) and its right and lower neighbours.
template <typename pair_adder>
void for_each_sampled_pair(const vorn_geometry& g, const pair_adder& add)
{
    const uint32_t width = g.width, height = g.height;
    const uint32_t row_step = height > sampled_rows ? height / sampled_rows : 1;
    const uint32_t column_step = width > sampled_columns ? width / sampled_columns : 1;
    for (uint32_t y = 0; y < height; y += row_step)
        for (uint32_t x = 0; x < width; x += column_step) {
            if (x + 1 < width) add(x, y, x + 1, y);
            if (y + 1 < height) add(x, y, x, y + 1);
        }
}

measures measure(const picture_view& view)
{
    measures m;
    for_each_sampled_pair(view.g, [&](uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
        add_pair(m, view, x0, y0, x1, y1);
    });
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

// ---- vorn_score_layouts -------------------------------------------------------------------------
//
// A dithered picture's neighbouring levels are mostly equal, and where they differ they differ
// by one level: the dither's grain. Read in a wrong layout the same bits do not: a scrambled
// field read in place (or a field in place read unscrambled) is noise, bits read in the wrong
// order turn steps of one into steps of two, and two 2-bit pictures read as one 4-bit picture
// jump by four wherever the upper one steps. So each hidden picture of each layout is judged by
// the share of its differing neighbours that differ by one, against the share two pixels drawn
// at random from it would give. What that cannot tell apart, the carries between the field's
// parts do (see carry_tally).

namespace {

// A part of a coded byte as a level: `bits` bits from bit `shift` of the byte with its four low
// bits turned end for end first when `reversed`, at the pixel itself or at the pixel the
// bit-reversal permutation brings there (`unscrambled`).
struct reading {
    bool reversed;
    uint8_t shift, bits;
    bool unscrambled;

    uint8_t level(uint8_t byte) const
    {
        const uint8_t field = reversed ? reverse_nibble(uint8_t(byte & 0x0F)) : uint8_t(byte & 0x0F);
        return uint8_t(((byte & 0xF0) | field) >> shift & low_mask(bits));
    }
};

// Neighbouring levels of one reading.
struct step_tally {
    uint64_t counts[16] = {};  // of each level, both pixels of every pair
    uint64_t pairs = 0, changes = 0, steps = 0;

    // `times` pairs of levels a and b.
    void add(uint8_t a, uint8_t b, uint64_t times)
    {
        counts[a] += times;
        counts[b] += times;
        pairs += times;
        changes += a != b ? times : 0;
        steps += a + 1 == b || b + 1 == a ? times : 0;
    }

    // 1 when every change is a step of one, 0 when changes are steps as often as between two
    // random pixels, -1 when fewer than `fewest_changes` pairs differ or the levels' spread
    // leaves nothing but steps to take (two neighbouring levels only).
    double figure() const
    {
        constexpr uint64_t fewest_changes = 64;
        if (changes < fewest_changes) return -1;
        double same = 0, step = 0;
        const double total = double(2 * pairs);
        for (int level = 0; level < 16; ++level) {
            const double share = double(counts[level]) / total;
            same += share * share;
            if (level < 15) step += 2 * share * (double(counts[level + 1]) / total);
        }
        if (same >= 1) return -1;
        const double chance = step / (1 - same);
        if (chance >= 0.999) return -1;
        const double seen = double(steps) / double(changes);
        const double figure = (seen - chance) / (1 - chance);
        return figure < -1 ? -1 : figure;  // far rougher than noise says no more than noise
    }
};

// Where an upper part steps by one between neighbours, does the lower part wrap the other way,
// as the low bits of one dithered value do (the value barely changes while its upper bits step)?
// +1 for every such wrap, -1 for every step of the lower part the same way.
struct carry_tally {
    int64_t balance = 0;
    uint64_t steps = 0;

    // `times` pairs of these parts.
    void add(uint8_t upper_a, uint8_t upper_b, uint8_t lower_a, uint8_t lower_b, uint64_t times = 1)
    {
        if (upper_a + 1 == upper_b) count(lower_a, lower_b, times);
        if (upper_b + 1 == upper_a) count(lower_b, lower_a, times);
    }

    void count(uint8_t lower_below, uint8_t lower_above, uint64_t times)
    {
        steps += times;
        balance += ((lower_below > lower_above) - (lower_below < lower_above)) * int64_t(times);
    }

    // From -1 (never continues) to 1 (always continues), mapped from the share of wraps: a
    // share of `independent` or less means independent parts, `continuing` or more one value.
    // Fewer than `fewest_carries` steps say nothing: `unknown`.
    static constexpr double unknown = 2;
    double continuation(double independent = 0.15, double continuing = 0.45, double otherwise = unknown) const
    {
        constexpr uint64_t fewest_carries = 48;
        if (steps < fewest_carries) return otherwise;
        const double share = double(balance) / double(steps);
        const double figure = (share - independent) / (continuing - independent) * 2 - 1;
        return figure < -1 ? -1 : figure > 1 ? 1 : figure;
    }
};

// The figure for "these parts continue into one another", and for "they are independent",
// with `otherwise` where too few steps tell.
double continues(const carry_tally& carry, double otherwise)
{
    const double figure = carry.continuation();
    return figure == carry_tally::unknown ? otherwise : figure;
}
double independent(const carry_tally& carry, double otherwise)
{
    const double figure = carry.continuation();
    return figure == carry_tally::unknown ? otherwise : -figure;
}

// The carrier's 4-bit nibble, bits 3 and 2, and bits 1 and 0, in place.
constexpr reading nibble{false, 4, 4, false}, bits_3_2{false, 2, 2, false}, bits_1_0{false, 0, 2, false};

constexpr reading picture_reading(const vorn_layout_info& info, int which)
{
    const vorn_layout_picture& picture = info.picture[which - 1];
    return {info.reversed != 0, uint8_t(picture.shift), uint8_t(picture.bits), picture.scrambled != 0};
}

// The upper and lower halves of a 4-bit picture's level.
constexpr reading upper_half(reading r) { return {r.reversed, uint8_t(r.shift + r.bits / 2), uint8_t(r.bits / 2), r.unscrambled}; }
constexpr reading lower_half(reading r) { return {r.reversed, r.shift, uint8_t(r.bits / 2), r.unscrambled}; }

static_assert(layout_count == VORN_LAYOUT_COUNT);

// The parts of a layout's field whose carries tell it apart: hidden picture 2 over hidden
// picture 1, or the halves of a 4-bit hidden picture 2; false for a layout with neither.
bool within_parts(const vorn_layout_info& info, reading& upper, reading& lower)
{
    if (holds(info, 1) && holds(info, 2)) {
        upper = picture_reading(info, 2);
        lower = picture_reading(info, 1);
        return true;
    }
    if (holds(info, 2) && info.picture[1].bits == 4) {
        const reading whole = picture_reading(info, 2);
        upper = upper_half(whole);
        lower = lower_half(whole);
        return true;
    }
    return false;
}

// Every part read by within_parts() is two bits wide, and every hidden picture's level lies in
// the field's four low bits: the counts below key on those.
constexpr bool parts_fit_the_counts()
{
    for (const vorn_layout_info& info : layout_table) {
        for (const vorn_layout_picture& picture : info.picture)
            if (picture.shift + picture.bits > 4) return false;
        if (holds(info, 1) && holds(info, 2) && (info.picture[0].bits != 2 || info.picture[1].bits != 2)) return false;
        if (!holds(info, 1) && holds(info, 2) && info.picture[1].bits != 4) return false;
    }
    return true;
}
static_assert(parts_fit_the_counts());

// The sampled byte pairs counted by what the tallies read of them: the field (four low bits) of
// both bytes in place and unscrambled, and for each layout the levels of its within_parts() at
// both bytes. The tallies are then made from the counts, each combination once however often it
// occurs. Counts are 32-bit: at most about 3.6 million pairs are sampled.
struct pair_counts {
    uint32_t in_place[256] = {}, unscrambled[256] = {};  // [field a << 4 | field b]
    uint32_t within[layout_count][256] = {};              // [upper a << 6 | upper b << 4 | lower a << 2 | lower b]
    carry_tally nibble_into_3_2;  // reads the byte above the field: tallied pair by pair
};

// The levels of each layout's within_parts() for every byte value.
struct within_levels {
    bool used[layout_count];
    bool unscrambled[layout_count][2];  // upper, lower
    uint8_t upper[layout_count][256], lower[layout_count][256];
};

within_levels within_levels_of_table()
{
    within_levels w{};
    for (int i = 0; i < layout_count; ++i) {
        reading upper{}, lower{};
        w.used[i] = within_parts(layout_table[i], upper, lower);
        w.unscrambled[i][0] = upper.unscrambled;
        w.unscrambled[i][1] = lower.unscrambled;
        for (unsigned byte = 0; byte < 256; ++byte) {
            w.upper[i][byte] = upper.level(uint8_t(byte));
            w.lower[i][byte] = lower.level(uint8_t(byte));
        }
    }
    return w;
}

void add_score_pair(pair_counts& counts, const within_levels& w, const picture_view& view, uint32_t x0, uint32_t y0,
                    uint32_t x1, uint32_t y1)
{
    const uint8_t *a = view.pixel(x0, y0, false), *b = view.pixel(x1, y1, false);
    const uint8_t *from_a = view.pixel(x0, y0, true), *from_b = view.pixel(x1, y1, true);
    for (uint32_t channel = 0; channel < 3; ++channel) {
        const uint8_t bytes[2][2] = {{a[channel], b[channel]}, {from_a[channel], from_b[channel]}};
        ++counts.in_place[(bytes[0][0] & 0x0F) << 4 | (bytes[0][1] & 0x0F)];
        ++counts.unscrambled[(bytes[1][0] & 0x0F) << 4 | (bytes[1][1] & 0x0F)];
        for (int i = 0; i < layout_count; ++i) {
            if (!w.used[i]) continue;
            const uint8_t* up = bytes[w.unscrambled[i][0]];
            const uint8_t* low = bytes[w.unscrambled[i][1]];
            ++counts.within[i][w.upper[i][up[0]] << 6 | w.upper[i][up[1]] << 4 | w.lower[i][low[0]] << 2 |
                               w.lower[i][low[1]]];
        }
        counts.nibble_into_3_2.add(nibble.level(bytes[0][0]), nibble.level(bytes[0][1]), bits_3_2.level(bytes[0][0]),
                                   bits_3_2.level(bytes[0][1]));
    }
}

struct layout_tallies {
    step_tally pictures[2];
    carry_tally within;  // the layout's within_parts()
};

struct score_tallies {
    layout_tallies layouts[layout_count];
    carry_tally nibble_into_3_2, bits_3_2_into_1_0;
};

// The tallies from the counts: each pair of fields read as each layout reads it.
score_tallies tallies_of(const pair_counts& counts)
{
    score_tallies t;
    for (unsigned key = 0; key < 256; ++key) {
        const uint8_t field_a = uint8_t(key >> 4), field_b = uint8_t(key & 0x0F);
        for (int i = 0; i < layout_count; ++i) {
            const vorn_layout_info& info = layout_table[i];
            for (int which = 1; which <= 2; ++which)
                if (holds(info, which)) {
                    const reading r = picture_reading(info, which);
                    const uint32_t times = r.unscrambled ? counts.unscrambled[key] : counts.in_place[key];
                    t.layouts[i].pictures[which - 1].add(r.level(field_a), r.level(field_b), times);
                }
            const uint8_t up_a = key >> 6 & 3, up_b = key >> 4 & 3, low_a = key >> 2 & 3, low_b = key & 3;
            t.layouts[i].within.add(up_a, up_b, low_a, low_b, counts.within[i][key]);
        }
        t.bits_3_2_into_1_0.add(bits_3_2.level(field_a), bits_3_2.level(field_b), bits_1_0.level(field_a),
                                bits_1_0.level(field_b), counts.in_place[key]);
    }
    t.nibble_into_3_2 = counts.nibble_into_3_2;
    return t;
}

// The figures of vorn.h's vorn_layout_score from the tallies.
void score(const score_tallies& t, vorn_layout_scores& scores)
{
    for (int i = 0; i < layout_count; ++i) {
        const vorn_layout_info& info = layout_table[i];
        vorn_layout_score& s = scores.layout[i];
        s.picture[0] = s.picture[1] = s.fit = -1;
        if (!holds(info, 1) && !holds(info, 2)) continue;
        double fit = 1;
        for (int which = 1; which <= 2; ++which)
            if (holds(info, which)) {
                s.picture[which - 1] = t.layouts[i].pictures[which - 1].figure();
                if (s.picture[which - 1] < fit) fit = s.picture[which - 1];
            }
        double relations;
        if (info.carrier_bits == 6) {
            // Bits 3 and 2 are the carrier's: they continue its nibble, if more weakly where the
            // carrier is grainy (its 6-bit neighbours then differ by more than a carry), and the
            // hidden picture below them is its own, not their continuation (a picture with
            // nothing hidden).
            relations = std::min(t.nibble_into_3_2.continuation(0.05, 0.3, -1), independent(t.bits_3_2_into_1_0, 1));
        } else if (holds(info, 1) && holds(info, 2)) {
            // The field is not the carrier's, and hidden picture 2 is not hidden picture 1's top.
            relations = std::min(independent(t.nibble_into_3_2, 1), independent(t.layouts[i].within, 1));
        } else {
            // The field is not the carrier's, and the 4-bit picture's halves are one value.
            relations = std::min(independent(t.nibble_into_3_2, 1), continues(t.layouts[i].within, 1));
        }
        s.fit = std::min(fit, relations);
    }
}

}  // namespace

vorn_error vorn_score_layouts(const uint8_t* coded, size_t length, vorn_layout_scores* scores)
{
    if (!coded || !scores) return VORN_ERR_ARGUMENT;
    picture_view view;
    if (const vorn_error error = check_header(coded, length, view.g)) return error;
    vorn_layout_scores result{};
    for (vorn_layout_score& s : result.layout) s.picture[0] = s.picture[1] = s.fit = -1;
    result.low_bits = has_low_bits(coded, view.g);
    if (result.low_bits) {
        view.raster = coded + view.g.offset_raster;
        view.scrambled = scrambles(view.g);
        const within_levels levels = within_levels_of_table();
        pair_counts counts;
        for_each_sampled_pair(view.g, [&](uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
            add_score_pair(counts, levels, view, x0, y0, x1, y1);
        });
        score(tallies_of(counts), result);
    }
    *scores = result;
    return VORN_OK;
}
