// Where each hidden picture's field lies in a coded byte, per layout (the table of vorn.h read per
// hidden picture), and the two ways a field is read: raw, scaled to the full byte, and as the
// tone the dithering aimed at.
#pragma once

#include <cstdint>

#include "layout.h"
#include "vorn.h"

namespace {

// How a field's levels are spaced, which sets how strong its grain is.
enum class field_grain {
    two_bit,   // a 2-bit picture: levels 64 apart
    four_bit,  // a 4-bit picture: levels 16 apart
    nibble     // hidden picture 2 beside picture 1: its 2 bits over picture 1's, 16 apart
};

struct field_rule {
    uint8_t (*value)(uint8_t coded);  // the field, in the picture's own bit order
    bool scrambled;                   // moved by the permutation when encoding
    uint8_t scale;                    // raw reading: 85 for a 2-bit value, 17 for a 4-bit one
    uint8_t (*tone)(uint8_t coded);   // the tone the dithering aimed at, 0 to 240
    field_grain grain;
};

inline uint8_t reverse_pair(uint8_t bits) { return uint8_t((bits & 1) << 1 | (bits >> 1 & 1)); }

inline uint8_t low_pair(uint8_t c) { return c & 3; }
inline uint8_t upper_pair(uint8_t c) { return c >> 2 & 3; }
inline uint8_t upper_pair_reversed(uint8_t c) { return reverse_pair(c >> 2 & 3); }
inline uint8_t low_pair_reversed(uint8_t c) { return reverse_pair(c & 3); }
inline uint8_t nibble(uint8_t c) { return c & 15; }
inline uint8_t nibble_reversed(uint8_t c) { return reverse_nibble(c & 15); }

// The dithering keeps the top bits of a byte, so a 2-bit level v stands for 64 v and a 4-bit one
// for 16 v. Hidden picture 2 beside picture 1 is dithered against picture 1's bits below its own
// (the stored nibble q1 q0 p1 p0 stands for 16 times itself), so it is read with them.
inline uint8_t low_pair_tone(uint8_t c) { return uint8_t(low_pair(c) << 6); }
inline uint8_t upper_pair_reversed_tone(uint8_t c) { return uint8_t(upper_pair_reversed(c) << 6); }
inline uint8_t nibble_tone(uint8_t c) { return uint8_t(nibble(c) << 4); }
inline uint8_t nibble_reversed_tone(uint8_t c) { return uint8_t(nibble_reversed(c) << 4); }

constexpr int layout_count = VORN_LAYOUT_BOTH_VORNHOLD2 + 1;

// [layout][which - 1]; a null value: the layout does not hold that picture.
constexpr field_rule field_rules[layout_count][2] = {
    /* NONE              */ {{nullptr, false, 0, nullptr, field_grain::two_bit},
                             {nullptr, false, 0, nullptr, field_grain::two_bit}},
    /* HIDDEN1           */ {{low_pair, true, 85, low_pair_tone, field_grain::two_bit},
                             {nullptr, false, 0, nullptr, field_grain::two_bit}},
    /* HIDDEN2_VORNHOLD  */ {{nullptr, false, 0, nullptr, field_grain::two_bit},
                             {nibble, true, 17, nibble_tone, field_grain::four_bit}},
    /* HIDDEN2_VORNHOLD2 */ {{nullptr, false, 0, nullptr, field_grain::two_bit},
                             {nibble_reversed, true, 17, nibble_reversed_tone, field_grain::four_bit}},
    /* BOTH_VORNHOLD     */ {{low_pair, true, 85, low_pair_tone, field_grain::two_bit},
                             {upper_pair, false, 85, nibble_tone, field_grain::nibble}},
    /* BOTH_VORNHOLD2    */ {{upper_pair_reversed, true, 85, upper_pair_reversed_tone, field_grain::two_bit},
                             {low_pair_reversed, false, 85, nibble_reversed_tone, field_grain::nibble}},
};

inline const field_rule* field_rule_for(vorn_layout layout, int which)
{
    if (layout < 0 || layout >= layout_count || (which != 1 && which != 2)) return nullptr;
    const field_rule& rule = field_rules[layout][which - 1];
    return rule.value ? &rule : nullptr;
}

}  // namespace
