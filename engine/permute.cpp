#include "permute.h"

#include <cstddef>

uint32_t reverse_low_bits(uint32_t value, uint32_t size)
{
    uint32_t r = value;
    r = (r >> 1 & 0x55555555u) | (r & 0x55555555u) << 1;
    r = (r >> 2 & 0x33333333u) | (r & 0x33333333u) << 2;
    r = (r >> 4 & 0x0F0F0F0Fu) | (r & 0x0F0F0F0Fu) << 4;
    r = (r >> 8 & 0x00FF00FFu) | (r & 0x00FF00FFu) << 8;
    r = r >> 16 | r << 16;
    // With size 2^k the quotient is the reversed word shifted right by 32 - k.
    const uint64_t divisor = (uint64_t(1) << 32) / size;
    return uint32_t(uint64_t(r) / divisor);
}

void bit_reverse_xy(uint32_t& x, uint32_t& y, uint32_t width, uint32_t height)
{
    x = reverse_low_bits(x, width);
    y = reverse_low_bits(y, height);
}

bool is_power_of_two(uint32_t size) { return size > 1 && (size & (size - 1)) == 0; }

namespace {

template <class Slot>
void permute_with(uint8_t* layer, Slot* scratch, const raster_geometry& g)
{
    uint8_t* raster = layer + g.offset_raster;
    const size_t count = size_t(g.length) - g.offset_raster;
    for (size_t i = 0; i < count; ++i) scratch[i] = Slot(raster[i]);

    for (uint32_t y = 0; y < g.height; ++y) {
        for (uint32_t x = 0; x < g.width; ++x) {
            uint32_t to_x = x;
            uint32_t to_y = y;
            bit_reverse_xy(to_x, to_y, g.width, g.height);
            const size_t from = size_t(y) * g.string_length + size_t(x) * 3;
            const size_t to = size_t(to_y) * g.string_length + size_t(to_x) * 3;
            for (size_t b = 0; b < 3; ++b) raster[to + b] = uint8_t(scratch[from + b]);
        }
    }
}

}  // namespace

void permute_layer(uint8_t* layer, int32_t* scratch, const raster_geometry& geometry)
{
    permute_with(layer, scratch, geometry);
}

void permute_layer(uint8_t* layer, uint8_t* scratch, const raster_geometry& geometry)
{
    permute_with(layer, scratch, geometry);
}
