// Every layout's facts, written once: the rows of vorn.h's table as vorn_layout_info entries.
// vorn_layout_describe() hands them out, and every step that depends on a layout (extraction,
// reconstruction, detection, the keyed form, vorn_layout_of) reads them here rather than saying
// them again.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "layout.h"
#include "vorn.h"

namespace {

constexpr unsigned written_by(vorn_build build) { return 1u << build; }
constexpr unsigned both_builds = written_by(VORN_VORNHOLD2) | written_by(VORN_VORNHOLD);

// {bits, shift, tone_step, scrambled} of hidden pictures 1 and 2.
constexpr vorn_layout_picture not_held{0, 0, 0, 0};
constexpr vorn_layout_picture two_bits_alone{2, 0, 64, 1};   // hidden 1, scrambled
constexpr vorn_layout_picture four_bits_alone{4, 0, 16, 1};  // hidden 2 alone, scrambled
constexpr vorn_layout_picture two_bits_above{2, 2, 16, 0};   // hidden 2 over hidden 1, in place

// Indexed by vorn_layout.
constexpr vorn_layout_info layout_table[] = {
    {"none", both_builds, 4, 0, {not_held, not_held}, 0},
    {"hidden1", both_builds, 6, 0, {two_bits_alone, not_held}, 1},
    {"hidden2-vornhold", written_by(VORN_VORNHOLD), 4, 0, {not_held, four_bits_alone}, 2},
    {"hidden2-vornhold2", written_by(VORN_VORNHOLD2), 4, 1, {not_held, four_bits_alone}, 3},
    {"both-vornhold", written_by(VORN_VORNHOLD), 4, 0, {two_bits_alone, two_bits_above}, 4},
    {"both-vornhold2", written_by(VORN_VORNHOLD2), 4, 1, {two_bits_alone, two_bits_above}, 5},
};

constexpr int layout_count = int(sizeof layout_table / sizeof layout_table[0]);

// Null for an unknown layout.
inline const vorn_layout_info* layout_info(vorn_layout layout)
{
    return layout >= 0 && layout < layout_count ? &layout_table[layout] : nullptr;
}

constexpr bool holds(const vorn_layout_info& info, int which) { return info.picture[which - 1].bits > 0; }

constexpr unsigned field_bits(const vorn_layout_info& info) { return 8 - info.carrier_bits; }

constexpr uint8_t low_mask(unsigned bits) { return uint8_t((1u << bits) - 1); }

// The field of a coded byte in plain order.
constexpr uint8_t plain_field(const vorn_layout_info& info, uint8_t coded)
{
    const uint8_t field = uint8_t(coded & low_mask(field_bits(info)));
    return info.reversed ? reverse_nibble(field) : field;
}

// The bits of a coded byte that hold a picture's level, as they are stored.
constexpr uint8_t stored_bits(const vorn_layout_info& info, const vorn_layout_picture& picture)
{
    const uint8_t plain = uint8_t(low_mask(picture.bits) << picture.shift);
    return info.reversed ? reverse_nibble(plain) : plain;
}

// The first layout, in the table's order, of which `matches` holds.
template <class Match>
constexpr vorn_layout layout_where(Match matches)
{
    for (int i = 0; i < layout_count; ++i)
        if (matches(layout_table[i])) return vorn_layout(i);
    return VORN_LAYOUT_NONE;
}

// What the engine takes for granted of the table: pictures inside the field and apart, a tone
// step that reads the field up to the picture's top bit, only whole nibbles reversed, one layout
// for every build and content, and keyed decoding's order counting 1, 2, ... over the layouts
// with a hidden picture.
constexpr bool layout_table_is_sound()
{
    int tried = 0;
    for (const vorn_layout_info& info : layout_table) {
        if (info.reversed && field_bits(info) != 4) return false;
        uint8_t taken = 0;
        for (const vorn_layout_picture& picture : info.picture) {
            if (picture.bits == 0) {
                if (picture.shift != 0 || picture.tone_step != 0 || picture.scrambled != 0) return false;
                continue;
            }
            if (picture.shift + picture.bits > field_bits(info)) return false;
            if (picture.tone_step != 256u >> (picture.shift + picture.bits)) return false;
            if (taken & stored_bits(info, picture)) return false;
            taken = uint8_t(taken | stored_bits(info, picture));
        }
        if ((info.decode_order > 0) != (taken != 0)) return false;
        tried += info.decode_order > 0;
    }
    for (int order = 1; order <= tried; ++order)
        if (layout_where([order](const vorn_layout_info& info) { return info.decode_order == order; }) ==
            VORN_LAYOUT_NONE)
            return false;
    for (const vorn_build build : {VORN_VORNHOLD2, VORN_VORNHOLD})
        for (int content = 0; content < 4; ++content) {
            int found = 0;
            for (const vorn_layout_info& info : layout_table)
                found += (info.builds & written_by(build)) && holds(info, 1) == bool(content & 1) &&
                         holds(info, 2) == bool(content & 2);
            if (found != 1) return false;
        }
    return true;
}
static_assert(layout_table_is_sound());

}  // namespace
