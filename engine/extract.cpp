// One hidden picture of a coded picture on its own: its field taken from each byte, put back in
// place where encoding scrambled it, in its own bit order, and scaled to the full byte.
#include <cstring>

#include "bmp.h"
#include "layout.h"
#include "permute.h"

namespace {

// Where a hidden picture's field lies in a coded byte, for one build and one content.
struct field_rule {
    bool scrambled;  // moved by the permutation when encoding (both sides powers of two)
    uint8_t (*value)(uint8_t coded);
    uint8_t scale;  // 85 for a 2-bit value, 17 for a 4-bit one
};

uint8_t reverse_pair(uint8_t bits) { return uint8_t((bits & 1) << 1 | (bits >> 1 & 1)); }

uint8_t low_pair(uint8_t c) { return c & 3; }
uint8_t upper_pair(uint8_t c) { return c >> 2 & 3; }
uint8_t upper_pair_reversed(uint8_t c) { return reverse_pair(c >> 2 & 3); }
uint8_t low_pair_reversed(uint8_t c) { return reverse_pair(c & 3); }
uint8_t nibble(uint8_t c) { return c & 15; }
uint8_t nibble_reversed(uint8_t c) { return reverse_nibble(c & 15); }

// The layout table of a coded byte, read per hidden picture.
field_rule rule_for(vorn_build build, vorn_content content, int which)
{
    const bool reversed = build == VORN_VORNHOLD2;
    if (content == VORN_HOLDS_HIDDEN1) return {true, low_pair, 85};
    if (content == VORN_HOLDS_HIDDEN2) return {true, reversed ? nibble_reversed : nibble, 17};
    if (which == 1) return {true, reversed ? upper_pair_reversed : low_pair, 85};
    return {false, reversed ? low_pair_reversed : upper_pair, 85};
}

bool holds(vorn_content content, int which)
{
    return (which == 1 || which == 2) && (int(content) & which) != 0 &&
           (content == VORN_HOLDS_HIDDEN1 || content == VORN_HOLDS_HIDDEN2 || content == VORN_HOLDS_BOTH);
}

}  // namespace

vorn_error vorn_extract(const uint8_t* coded, size_t length, vorn_build build, vorn_content content,
                        int which, uint8_t* picture)
{
    if (!coded || !picture || (build != VORN_VORNHOLD2 && build != VORN_VORNHOLD) || !holds(content, which))
        return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(coded, length, g)) return error;

    const field_rule rule = rule_for(build, content, which);
    const auto field = [&rule](uint8_t c) { return uint8_t(rule.value(c) * rule.scale); };
    std::memcpy(picture, coded, g.offset_raster);
    const uint8_t* from = coded + g.offset_raster;
    uint8_t* to = picture + g.offset_raster;
    // Every byte in place first: padding and bytes after the last row are never moved.
    for (size_t i = 0; i < size_t(g.length) - g.offset_raster; ++i) to[i] = field(from[i]);
    if (!rule.scrambled || !is_power_of_two(g.width) || !is_power_of_two(g.height)) return VORN_OK;
    for (uint32_t y = 0; y < g.height; ++y) {
        const uint8_t* source = permuted_source_row(from, y, g);
        gather_permuted_row(source, g.width, to + size_t(y) * g.string_length, field);
    }
    return VORN_OK;
}
