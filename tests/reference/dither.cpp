#include "dither.h"

#include <cstddef>

namespace {

constexpr uint32_t level_mask = 0xFF000000u;

// Truncates toward zero: 3 gives 1, -3 gives -1.
uint32_t half(uint32_t error) { return uint32_t(int32_t(error) / 2); }

// Adds in 32-bit two's complement; the wrap is the intended arithmetic.
void add_share(int32_t& entry, uint32_t share) { entry = int32_t(uint32_t(entry) + share); }

}  // namespace

void dither_planes(uint32_t width, int32_t* value, const int32_t* fixed, uint32_t height,
                   uint32_t stride)
{
    if (width == 0 || height == 0) return;
    for (uint32_t row = 0; row < height; ++row) {
        const bool right_to_left = row % 2 == 0;
        const bool has_down = row + 1 < height;
        const ptrdiff_t side = right_to_left ? -3 : 3;
        const size_t row_start = size_t(row) * stride;
        for (uint32_t step = 0; step < width; ++step) {
            const uint32_t x = right_to_left ? width - 1 - step : step;
            const bool last = step + 1 == width;
            const size_t pixel = row_start + size_t(x) * 3;
            for (size_t k = 0; k < 3; ++k) {
                const size_t i = pixel + k;
                const uint32_t v = uint32_t(value[i]);
                const uint32_t e = v - ((v & level_mask) | uint32_t(fixed[i]));
                if (has_down) add_share(value[i + stride], last ? e : half(e));
                if (!last) add_share(value[ptrdiff_t(i) + side], row == 0 ? e : half(e));
            }
        }
    }
}
