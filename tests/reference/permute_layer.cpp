#include "permute_layer.h"

#include <cstddef>

void bit_reverse_xy(uint32_t& x, uint32_t& y, uint32_t width, uint32_t height)
{
    x = reverse_low_bits(x, width);
    y = reverse_low_bits(y, height);
}

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
