#include "stealth_cost.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "side_by_side.h"

namespace {

// Output rows a job computes: each job reads its rows' neighbours again, so that jobs share nothing.
constexpr uint32_t band_rows = 128;

// Index i of a line of `size`, mirrored at both ends (-1 is 0, size is size - 1).
int64_t mirrored(int64_t i, int64_t size)
{
    while (i < 0 || i >= size) i = i < 0 ? -i - 1 : 2 * size - i - 1;
    return i;
}

// One row (3 values a pixel, w pixels) filtered along x with taps[0 .. 2r] centred on each pixel,
// channel by channel, mirrored at the ends; `padded` holds w + 2r pixels.
template <class Value>
void filter_row(const Value* in, int64_t w, const std::vector<float>& taps, float* padded, float* out)
{
    const int64_t r = int64_t(taps.size() / 2);
    const size_t line = size_t(w) * 3;
    for (int64_t x = -r; x < w + r; ++x)
        for (int64_t c = 0; c < 3; ++c) padded[size_t((x + r) * 3 + c)] = float(in[mirrored(x, w) * 3 + c]);
    std::fill(out, out + line, 0.0f);
    for (size_t k = 0; k < taps.size(); ++k) {
        const float tap = taps[k];
        const float* shifted = padded + 3 * k;
        for (size_t i = 0; i < line; ++i) out[i] += tap * shifted[i];
    }
}

// The rows of one stage that a band has made, by the row they hold: rows are asked for in order
// (mirrored ones among the last), so a few slots serve each row once. Making a row again where a
// slot was taken gives the same values: the ring decides speed, never results.
class row_ring {
public:
    row_ring(size_t line, size_t slots) : line_(line), values_(line * slots), held_(slots, -1) {}
    // Row y's slot, and whether it must be made.
    float* slot(int64_t y, bool& make)
    {
        const size_t s = size_t(y) % held_.size();
        make = held_[s] != y;
        held_[s] = y;
        return values_.data() + s * line_;
    }

private:
    size_t line_;
    std::vector<float> values_;
    std::vector<int64_t> held_;
};

float magnitude(float v) { return std::fabs(v); }
float inverse(float v) { return 1.0f / (v + stealth_cost_floor); }
float same(float v) { return v; }

std::vector<float> box(unsigned side) { return std::vector<float>(side, 1.0f / float(side)); }

// The costs of rows [y0, y1), one stage's row at a time, each stage a filter along the row and
// one down the columns (taps in the same order as a whole-picture pass would take them):
// high-pass [1 -2 1] both ways, its magnitude; a 3-box both ways, 1 / (that + floor); a 15-box
// both ways. Only a few rows of each stage are kept, so that the work stays in the cache.
class cost_band {
public:
    cost_band(const uint8_t* rgb, uint32_t width, uint32_t height)
        : rgb_(rgb), w_(width), h_(height), line_(size_t(width) * 3), padded_(line_ + 6 * 7),
          residual_(line_), weight_(line_), high_(line_, 4), small_(line_, 4), large_(line_, 16)
    {
    }

    void row(int64_t y, float* out) { down(y, taps_large_, same, &cost_band::large, out); }

private:
    using maker = const float* (cost_band::*)(int64_t);
    using finisher = float (*)(float);

    // out = taps down the columns of rows made by `make`, centred on y, then `finish`.
    void down(int64_t y, const std::vector<float>& taps, finisher finish, maker make, float* out)
    {
        const int64_t r = int64_t(taps.size() / 2);
        std::fill(out, out + line_, 0.0f);
        for (int64_t k = -r; k <= r; ++k) {
            const float* in = (this->*make)(mirrored(y + k, h_));
            const float tap = taps[size_t(k + r)];
            for (size_t i = 0; i < line_; ++i) out[i] += tap * in[i];
        }
        for (size_t i = 0; i < line_; ++i) out[i] = finish(out[i]);
    }

    // Row y of the picture high-passed along x.
    const float* high(int64_t y)
    {
        bool make = false;
        float* row = high_.slot(y, make);
        if (make) filter_row(rgb_ + size_t(y) * line_, w_, taps_high_, padded_.data(), row);
        return row;
    }

    // Row y of the residual's magnitude, 3-boxed along x.
    const float* small(int64_t y) { return stage(y, small_, taps_high_, magnitude, &cost_band::high, residual_, taps_small_); }

    // Row y of 1 / (the 3 x 3 mean + floor), 15-boxed along x.
    const float* large(int64_t y) { return stage(y, large_, taps_small_, inverse, &cost_band::small, weight_, taps_large_); }

    // Row y of a stage: the stage before it (`before`) filtered down the columns with down_taps
    // and finished into `column`, then along the row with row_taps.
    const float* stage(int64_t y, row_ring& ring, const std::vector<float>& down_taps, finisher finish, maker before,
                       std::vector<float>& column, const std::vector<float>& row_taps)
    {
        bool make = false;
        float* row = ring.slot(y, make);
        if (make) {
            down(y, down_taps, finish, before, column.data());
            filter_row(column.data(), w_, row_taps, padded_.data(), row);
        }
        return row;
    }

    const uint8_t* rgb_;
    int64_t w_, h_;
    size_t line_;
    // Scratch: padded_ within filter_row() alone; each stage's column result its own, since
    // making a row of one stage makes rows of the stage before it.
    std::vector<float> padded_, residual_, weight_;
    row_ring high_, small_, large_;
    const std::vector<float> taps_high_{1, -2, 1}, taps_small_ = box(3), taps_large_ = box(15);
};

}  // namespace

std::vector<float> stealth_costs(const uint8_t* rgb, uint32_t width, uint32_t height, unsigned threads)
{
    std::vector<float> costs(size_t(width) * height * 3);
    std::vector<std::function<void()>> jobs;
    for (uint32_t y0 = 0; y0 < height; y0 += band_rows)
        jobs.push_back([&, y0] {
            cost_band band(rgb, width, height);
            for (uint32_t y = y0; y < std::min(height, y0 + band_rows); ++y)
                band.row(y, costs.data() + size_t(y) * width * 3);
        });
    run_side_by_side(jobs, threads);
    return costs;
}

std::vector<uint8_t> stealth_change(const uint8_t* bytes, const uint8_t* wanted, size_t count,
                                    const uint8_t* directions)
{
    std::vector<uint8_t> changed(bytes, bytes + count);
    for (size_t i = 0; i < count; ++i) {
        if (((bytes[i] ^ wanted[i]) & 1) == 0) continue;
        const bool up = bytes[i] == 0 || (bytes[i] != 255 && ((directions[i / 8] >> (i % 8)) & 1));
        changed[i] = uint8_t(up ? bytes[i] + 1 : bytes[i] - 1);
    }
    return changed;
}
