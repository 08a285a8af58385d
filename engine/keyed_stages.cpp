// The dithering stages of a keyed encoding, and the decoded pictures of a keyed one.
//
// The stages diffuse error as the coder's do (serpentine rows, half the error down and half on,
// all of it on in the first row and down from a row's last pixel; sums wrapping in 32 bits), but
// place each hidden picture's tones in the range its levels represent, so that the brightest
// tones are stored rather than clipped. Picture 2 beside picture 1 is dithered to its own two
// bits with picture 1's stored bits as an offset beneath them, so it reads back without a ghost
// of picture 1. Nothing is scrambled: the encryption already makes every stored bit look random.
#include <algorithm>
#include <array>

#include "fields.h"
#include "keyed.h"
#include "layout.h"

namespace vorn_internal {
namespace {

constexpr uint32_t level_mask = 0xFF000000u;

uint32_t half(uint32_t error) { return uint32_t(int32_t(error) / 2); }

// Walks the colour bytes of one layer. value(i) is the scaled source of raster byte i and fixed(i)
// the decided part beneath its level (below bit 24); put(i, v) receives the final value before the
// error is passed on. `down` holds width * 3 entries.
template <class Value, class Fixed, class Put>
void diffuse(const raster_geometry& g, uint32_t* down, Value value, Fixed fixed, Put put)
{
    std::fill_n(down, size_t(g.width) * 3, 0u);
    for (uint32_t y = 0; y < g.height && g.width > 0; ++y) {
        const size_t row = size_t(y) * g.string_length;
        const bool right_to_left = y % 2 == 0;
        uint32_t side[3] = {0, 0, 0};
        for (uint32_t step = 0; step < g.width; ++step) {
            const uint32_t x = right_to_left ? g.width - 1 - step : step;
            const bool last = step + 1 == g.width;
            for (size_t c = 0; c < 3; ++c) {
                const size_t at = size_t(x) * 3 + c;
                const uint32_t v = value(row + at) + down[at] + side[c];
                put(row + at, v);
                const uint32_t error = v - ((v & level_mask) | fixed(row + at));
                down[at] = last ? error : half(error);
                side[c] = y == 0 ? error : half(error);
            }
        }
    }
}

// A source byte's tone in the range the stored levels represent, in units of 2^24 per level
// (192/255 of the byte for a 2-bit layer, 240/255 for a 4-bit one), so that white is stored as the
// top level rather than clipped; decoding reads the levels back over the full byte.
std::array<uint32_t, 256> tone_table(unsigned bits)
{
    std::array<uint32_t, 256> table{};
    const uint64_t top = (1u << bits) - 1;
    for (uint32_t source = 0; source < 256; ++source) table[source] = uint32_t((source * top << 24) / 255);
    return table;
}

const std::array<uint32_t, 256> tones2 = tone_table(2), tones4 = tone_table(4);

const std::array<uint32_t, 256>& tones_of(unsigned bits) { return bits == 2 ? tones2 : tones4; }

uint8_t level_of(uint32_t v, unsigned bits)
{
    return kept_bits(int32_t(v), int32_t(((1u << bits) - 1) << 24), 24, uint8_t((1u << bits) - 1));
}

// The pixel bytes of every row of a raster, to every byte of which `visit` is applied.
template <class Visit>
void for_each_pixel_byte(const raster_geometry& g, Visit visit)
{
    const size_t pixels = size_t(g.width) * 3;
    for (uint32_t y = 0; y < g.height && pixels > 0; ++y)
        for (size_t x = 0; x < pixels; ++x) visit(size_t(y) * g.string_length + x);
}

}  // namespace

uint8_t* hidden_stages(uint8_t* hidden1, uint8_t* hidden2, const keyed_plan& plan,
                       const raster_geometry& g, uint32_t* down)
{
    const vorn_layout_picture &first = plan.info->picture[0], &second = plan.info->picture[1];
    const auto no_fixed = [](size_t) { return 0u; };
    if (hidden1) {
        const auto& tones = tones_of(first.bits);
        diffuse(g, down, [&](size_t i) { return tones[hidden1[i]]; }, no_fixed,
                [&](size_t i, uint32_t v) { hidden1[i] = level_of(v, first.bits); });
    }
    if (!hidden2) return hidden1;
    const auto& tones = tones_of(second.bits);
    if (second.shift > 0) {
        // Over picture 1's stored bits, which lie beneath its own in the field: each of them a
        // 2^-shift part of one of its levels (16 p + h * 192/255 in the stored nibble's terms).
        const int beneath = 24 - int(second.shift);
        diffuse(g, down, [&](size_t i) { return tones[hidden2[i]] + (uint32_t(hidden1[i]) << beneath); },
                [&](size_t i) { return uint32_t(hidden1[i]) << beneath; },
                [&](size_t i, uint32_t v) { hidden2[i] = level_of(v, second.bits); });
    } else {
        diffuse(g, down, [&](size_t i) { return tones[hidden2[i]]; }, no_fixed,
                [&](size_t i, uint32_t v) { hidden2[i] = level_of(v, second.bits); });
    }
    // The field as the layout stores it.
    const bool turn = plan.info->reversed;
    for_each_pixel_byte(g, [&](size_t i) {
        uint8_t field = uint8_t(hidden2[i] << second.shift);
        if (hidden1) field = uint8_t(field | hidden1[i] << first.shift);
        hidden2[i] = turn ? reverse_nibble(field) : field;
    });
    return hidden2;
}

void carrier_stage(uint8_t* raster, const uint8_t* fields_raster, const keyed_plan& plan,
                   const raster_geometry& g, uint32_t* down)
{
    const unsigned low = plan.field_bits;
    const int shift = 24 - int(low);  // a carrier byte in levels of 2^24, its fields beneath
    const uint8_t field_mask = uint8_t((1u << low) - 1);
    const int32_t top = int32_t(((1u << (8 - low)) - 1) << 24);
    const uint8_t kept_mask = uint8_t(~field_mask);
    const auto fixed = [&](size_t i) { return uint32_t(fields_raster[i] & field_mask) << shift; };
    diffuse(g, down, [&](size_t i) { return uint32_t(raster[i]) << shift; }, fixed,
            [&](size_t i, uint32_t v) {
                raster[i] = uint8_t(kept_bits(int32_t(v), top, shift, kept_mask) | (fields_raster[i] & field_mask));
            });
    // Bytes no error reaches (padding, bytes after the last row) keep their top bits, fields zero.
    const size_t pixels = size_t(g.width) * 3;
    const size_t rows_end = size_t(g.height) * g.string_length;
    for (size_t row = 0; row < rows_end; row += g.string_length)
        for (size_t i = row + pixels; i < row + g.string_length; ++i) raster[i] &= kept_mask;
    for (size_t i = rows_end; i < size_t(g.length) - g.offset_raster; ++i) raster[i] &= kept_mask;
}

void decoded_pictures(const colour_bytes& fields, const keyed_plan& plan, uint8_t* raster1,
                      uint8_t* raster2)
{
    const raster_geometry& g = fields.g;
    const field_rule first = field_rule_for(plan.layout, 1), second = field_rule_for(plan.layout, 2);
    // Each byte's field is read before either output byte is written: raster2 may be the fields.
    // Levels are read over the full byte, the range the stages placed the tones in.
    for_each_pixel_byte(g, [&](size_t i) {
        const uint8_t coded = fields.raster[i];
        raster1[i] = first.picture ? first.raw(coded) : 0;
        raster2[i] = second.picture ? second.raw(coded) : 0;
    });
    const size_t pixels = size_t(g.width) * 3;
    const size_t rows_end = size_t(g.height) * g.string_length;
    for (uint8_t* raster : {raster1, raster2}) {
        for (size_t row = 0; row < rows_end; row += g.string_length)
            std::fill(raster + row + pixels, raster + row + g.string_length, uint8_t(0));
        std::fill(raster + rows_end, raster + (size_t(g.length) - g.offset_raster), uint8_t(0));
    }
    // The given-up colour bytes: the head takes the next row's byte (filled from the last one
    // back, so a head longer than a row is filled too), the filler the previous row's.
    const uint64_t per_row = uint64_t(g.width) * 3;
    for (uint8_t* raster : {raster1, raster2}) {
        if (g.height < 2) continue;
        const colour_bytes out{raster, g};
        for (uint64_t k = plan.head; k-- > 0;)
            if (k + per_row < plan.colour_bytes) out[k] = out[k + per_row];
        for (uint64_t k = plan.colour_bytes - plan.filler; k < plan.colour_bytes; ++k) out[k] = out[k - per_row];
    }
}

}  // namespace vorn_internal
