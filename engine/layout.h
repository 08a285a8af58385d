// The bit rules every stage and every reader of a coded byte share.
#pragma once

#include <cstdint>

namespace {

// The four bits of a value 0 to 15 in reverse order.
constexpr uint8_t reverse_nibble(uint8_t value)
{
    return uint8_t((value & 1) << 3 | (value & 2) << 1 | (value & 4) >> 1 | (value & 8) >> 3);
}

// The kept bits of a dithered value v: all of `mask` above `top`, none below 0, otherwise
// (v >> shift) AND mask. Clamping happens here only, never inside the dithering.
constexpr uint8_t kept_bits(int32_t v, int32_t top, int shift, uint8_t mask)
{
    if (v > top) return mask;
    if (v < 0) return 0;
    return uint8_t((v >> shift) & mask);
}

}  // namespace
