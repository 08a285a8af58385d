// The bit-reversal pixel permutation: pixel (x, y) moves to (x with its log2(width) low bits
// reversed, y with its log2(height) low bits reversed). The map is its own inverse.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "bmp.h"

namespace {

// The low k bits of `value` in reverse order, for size = 2^k with 1 <= k <= 31.
inline uint32_t reverse_low_bits(uint32_t value, uint32_t size)
{
    uint32_t r = value;
    r = (r >> 1 & 0x55555555u) | (r & 0x55555555u) << 1;
    r = (r >> 2 & 0x33333333u) | (r & 0x33333333u) << 2;
    r = (r >> 4 & 0x0F0F0F0Fu) | (r & 0x0F0F0F0Fu) << 4;
    r = (r >> 8 & 0x00FF00FFu) | (r & 0x00FF00FFu) << 8;
    r = r >> 16 | r << 16;
    // The reversed word's top k bits. Shifted as 64 bits, so that k = 0 (size 1) gives 0.
    return uint32_t(uint64_t(r) >> (32 - std::countr_zero(size)));
}

// True for 2, 4, 8, ..., 2^31: exactly one bit set, and not bit 0.
inline bool is_power_of_two(uint32_t size) { return size > 1 && (size & (size - 1)) == 0; }

// Whether a picture's scrambled layer is moved: both sides must be powers of two.
inline bool scrambles(const raster_geometry& g) { return is_power_of_two(g.width) && is_power_of_two(g.height); }

// The eight bits of every byte value in reverse order.
constexpr std::array<uint8_t, 256> reversed_bytes = [] {
    std::array<uint8_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value)
        for (unsigned bit = 0; bit < 8; ++bit)
            if (value >> bit & 1) table[value] |= uint8_t(0x80 >> bit);
    return table;
}();

// Calls visit(x, reversed x) for every column of a power-of-two width, in increasing x. Gives
// what reverse_low_bits would, with one table look-up per column instead of five swaps: the low
// eight bits of x, reversed, become the top eight of the result, and the bits above them are
// reversed once per 256 columns.
template <class Visit>
void for_each_reversed_column(uint32_t width, Visit visit)
{
    const unsigned bits = unsigned(std::countr_zero(width));
    if (bits <= 8) {
        for (uint32_t x = 0; x < width; ++x) visit(x, uint32_t(reversed_bytes[x]) >> (8 - bits));
        return;
    }
    const uint32_t blocks = width >> 8;
    for (uint32_t block = 0; block < blocks; ++block) {
        const uint32_t block_reversed = blocks > 1 ? reverse_low_bits(block, blocks) : 0;
        for (uint32_t low = 0; low < 256; ++low)
            visit(block << 8 | low, uint32_t(reversed_bytes[low]) << (bits - 8) | block_reversed);
    }
}

// The row that row y of a layer comes from under the permutation: row (reversed y).
inline const uint8_t* permuted_source_row(const uint8_t* raster, uint32_t y, const raster_geometry& g)
{
    return raster + size_t(reverse_low_bits(y, g.height)) * g.string_length;
}

// Row y of a layer as permute_layer would leave it, without moving the layer: pixel x of `row`
// is pixel (reversed x) of `from`, the source row, each byte passed through `transform`. Writes
// the 3 * width pixel bytes of `row`; the caller takes care of the row padding. The source row is
// read in bit-reversed order, which the processor's prefetching cannot follow: callers read it
// once in order first, which brings it into the cache at streaming speed.
template <class Transform>
void gather_permuted_row(const uint8_t* from, uint32_t width, uint8_t* row, Transform transform)
{
    for_each_reversed_column(width, [&](uint32_t x, uint32_t x_reversed) {
        const uint8_t* pixel = from + size_t(x_reversed) * 3;
        row[size_t(x) * 3] = transform(pixel[0]);
        row[size_t(x) * 3 + 1] = transform(pixel[1]);
        row[size_t(x) * 3 + 2] = transform(pixel[2]);
    });
}

}  // namespace
