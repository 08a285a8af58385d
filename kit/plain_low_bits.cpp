#include "plain_low_bits.h"

#include "vorn.h"

namespace {

// Rows and columns looked at, at most, as the engine's layout guess samples them.
constexpr uint32_t sampled_rows = 192;
constexpr uint32_t sampled_columns = 768;

// The share of the steps that must wrap the photograph's way, and the fewest steps judged: an
// independent field gives a balance about 0, a photograph's continuing bits far above this.
constexpr double wrap_share = 0.25;
constexpr int64_t fewest_steps = 32;

struct wraps {
    int64_t balance = 0, steps = 0;

    // a and b are neighbouring colour bytes.
    void add(uint8_t a, uint8_t b)
    {
        if ((a >> 2) + 1 == (b >> 2)) count(a & 3, b & 3);
        if ((b >> 2) + 1 == (a >> 2)) count(b & 3, a & 3);
    }
    void count(int below, int above)
    {
        ++steps;
        balance += (below > above) - (below < above);
    }
};

}  // namespace

bool low_bits_continue_colours(const std::vector<uint8_t>& coded)
{
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK) return false;
    const uint8_t* raster = coded.data() + g.offset_raster;
    const uint32_t row_step = g.height > sampled_rows ? g.height / sampled_rows : 1;
    const uint32_t column_step = g.width > sampled_columns ? g.width / sampled_columns : 1;
    wraps counted;
    for (uint32_t y = 0; y < g.height; y += row_step)
        for (uint32_t x = 0; x < g.width; x += column_step)
            for (uint32_t c = 0; c < 3; ++c) {
                const uint8_t* at = raster + size_t(y) * g.string_length + size_t(x) * 3 + c;
                if (x + 1 < g.width) counted.add(at[0], at[3]);
                if (y + 1 < g.height) counted.add(at[0], at[g.string_length]);
            }
    return counted.steps >= fewest_steps && double(counted.balance) > wrap_share * double(counted.steps);
}
