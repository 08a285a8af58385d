#include "stealth_cost.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "side_by_side.h"

namespace {

constexpr uint32_t band_rows = 64;

// Index i of a line of `size`, mirrored at both ends (-1 is 0, size is size - 1).
int64_t mirrored(int64_t i, int64_t size)
{
    while (i < 0 || i >= size) i = i < 0 ? -i - 1 : 2 * size - i - 1;
    return i;
}

// A width x height picture of 3 floats a pixel.
struct planes {
    uint32_t width, height;
    std::vector<float> values;
    float* row(uint32_t y) { return values.data() + size_t(y) * width * 3; }
    const float* row(uint32_t y) const { return values.data() + size_t(y) * width * 3; }
};

void in_bands(uint32_t height, unsigned threads, const std::function<void(uint32_t, uint32_t)>& band)
{
    std::vector<std::function<void()>> jobs;
    for (uint32_t y = 0; y < height; y += band_rows)
        jobs.push_back([&band, y, height] { band(y, std::min(height, y + band_rows)); });
    run_side_by_side(jobs, threads);
}

// to = from (bytes or floats, 3 a pixel, to's size) filtered along rows with taps[0 .. 2r]
// centred on each pixel, channel by channel.
template <class Value>
void filter_rows(const Value* from, planes& to, const std::vector<float>& taps, unsigned threads)
{
    const int64_t r = int64_t(taps.size() / 2), w = to.width;
    const size_t line = size_t(w) * 3;
    in_bands(to.height, threads, [&](uint32_t y0, uint32_t y1) {
        std::vector<float> padded(line + size_t(6 * r));  // the row with r mirrored pixels each side
        for (uint32_t y = y0; y < y1; ++y) {
            const Value* in = from + size_t(y) * line;
            for (int64_t x = -r; x < w + r; ++x)
                for (int64_t c = 0; c < 3; ++c) padded[size_t((x + r) * 3 + c)] = in[mirrored(x, w) * 3 + c];
            float* out = to.row(y);
            std::fill(out, out + line, 0.0f);
            for (size_t k = 0; k < taps.size(); ++k) {
                const float tap = taps[k];
                const float* shifted = padded.data() + 3 * k;
                for (size_t i = 0; i < line; ++i) out[i] += tap * shifted[i];
            }
        }
    });
}

// to = from filtered down columns with taps[0 .. 2r], then `finish` applied to each value.
void filter_columns(const planes& from, planes& to, const std::vector<float>& taps, unsigned threads,
                    float (*finish)(float))
{
    const int64_t r = int64_t(taps.size() / 2), h = from.height;
    const size_t line = size_t(from.width) * 3;
    in_bands(from.height, threads, [&](uint32_t y0, uint32_t y1) {
        for (uint32_t y = y0; y < y1; ++y) {
            float* out = to.row(y);
            for (size_t i = 0; i < line; ++i) out[i] = 0;
            for (int64_t k = -r; k <= r; ++k) {
                const float* in = from.row(uint32_t(mirrored(int64_t(y) + k, h)));
                const float tap = taps[size_t(k + r)];
                for (size_t i = 0; i < line; ++i) out[i] += tap * in[i];
            }
            for (size_t i = 0; i < line; ++i) out[i] = finish(out[i]);
        }
    });
}

float magnitude(float v) { return std::fabs(v); }
float inverse(float v) { return 1.0f / (v + stealth_cost_floor); }
float same(float v) { return v; }

std::vector<float> box(unsigned side) { return std::vector<float>(side, 1.0f / float(side)); }

}  // namespace

std::vector<float> stealth_costs(const uint8_t* rgb, uint32_t width, uint32_t height, unsigned threads)
{
    const size_t count = size_t(width) * height * 3;
    planes across{width, height, std::vector<float>(count)}, down{width, height, std::vector<float>(count)};
    // KB is the outer product of [1 -2 1] with itself, negated: the magnitude is the same.
    const std::vector<float> high_pass = {1, -2, 1};
    filter_rows(rgb, across, high_pass, threads);
    filter_columns(across, down, high_pass, threads, magnitude);
    filter_rows(down.values.data(), across, box(3), threads);
    filter_columns(across, down, box(3), threads, inverse);
    filter_rows(down.values.data(), across, box(15), threads);
    filter_columns(across, down, box(15), threads, same);
    return std::move(down.values);
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
