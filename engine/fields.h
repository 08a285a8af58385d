// One hidden picture's field in a coded byte, as the layout table places it, and the two ways it
// is read: raw, scaled to the full byte, and as the tone the dithering aimed at.
#pragma once

#include <cstdint>

#include "layout_table.h"

namespace {

// How a field's levels are spaced, which sets how strong its grain is.
enum class field_grain {
    two_bit,   // a 2-bit picture: levels 64 apart
    four_bit,  // a 4-bit picture: levels 16 apart
    nibble     // hidden picture 2 beside picture 1: its 2 bits over picture 1's, 16 apart
};

struct field_rule {
    const vorn_layout_info* layout;
    const vorn_layout_picture* picture;  // null: the layout does not hold the picture

    // The level, in the picture's own bit order.
    uint8_t level(uint8_t coded) const
    {
        return uint8_t(plain_field(*layout, coded) >> picture->shift & low_mask(picture->bits));
    }
    // The raw reading: the level over the full byte (85 v for a 2-bit level, 17 v for a 4-bit one).
    uint8_t raw(uint8_t coded) const { return uint8_t(level(coded) * (255 / low_mask(picture->bits))); }
    // The dithering keeps the top bits of a byte, so the field up to the picture's top bit, times
    // the tone step, is the tone it aimed at: 64 v, or 16 v for a 4-bit level and for hidden
    // picture 2 over picture 1's bits (the stored nibble q1 q0 p1 p0 stands for 16 times itself).
    uint8_t tone(uint8_t coded) const
    {
        const uint8_t up_to_top = low_mask(picture->shift + picture->bits);
        return uint8_t((plain_field(*layout, coded) & up_to_top) * picture->tone_step);
    }
    field_grain grain() const
    {
        if (picture->bits == 4) return field_grain::four_bit;
        return picture->shift > 0 ? field_grain::nibble : field_grain::two_bit;
    }
};

// Picture `which` (1 or 2) of `layout`; its picture is null for an unknown layout or picture, and
// for one the layout does not hold.
inline field_rule field_rule_for(vorn_layout layout, int which)
{
    const vorn_layout_info* info = layout_info(layout);
    if (!info || (which != 1 && which != 2) || !holds(*info, which)) return {info, nullptr};
    return {info, &info->picture[which - 1]};
}

}  // namespace
