// The filter that takes the dither's grain out of a hidden picture's levels: a guided filter
// whose guide is the levels lightly smoothed by a small Gaussian. Where the guide is flat within
// a window the output is the window's mean (the grain averages away); where it varies much more
// than the grain does (an edge, texture) the output follows the levels. eps is the variance, in
// squared byte units, at which the two weigh alike: about the grain's own variance.
//
// The picture is filtered in bands of rows, each computed from its rows and a few above and
// below; beyond the picture's edges every stage repeats its nearest row or column. All
// arithmetic is float additions, multiplications and divisions in a fixed order, compiled
// without contraction, so every build gives the same bytes.
//
// For the output rows [y0, y1) of a band, with box radius r and Gaussian radius 2:
//   levels   rows [y0 - 2r - 2, y1 + 2r + 2)   as loaded
//   guide    rows [y0 - 2r, y1 + 2r)           the levels smoothed, down then across
//   sums     rows [y0 - 2r, y1 + 2r)           guide, levels, guide^2, guide*levels, boxed across
//   a, b     rows [y0 - r, y1 + r)             the sums boxed down: the window's line fit, boxed across
//   output   rows [y0, y1)                     (a, b boxed down) applied to the guide
// each range cut to the picture's rows; a stage reading beyond the picture takes its input's
// nearest row. The band's output waits in `pending` until the next band has loaded its levels,
// so that a loader reading the output's own raster still sees the rows it needs unfiltered.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "bmp.h"

// Internal linkage throughout: only reconstruct.cpp includes this.
namespace {

struct grain_filter {
    float gauss[3];       // the smoothing kernel's weights at distance 0, 1 and 2; sum 1
    uint32_t box_radius;  // the guided filter's window: (2 r + 1) x (2 r + 1) pixels, r 1 or 2
    float eps;
};

// Fills `row` (width * 3 floats, B G R as stored) with the levels of raster row y.
using level_row_loader = void (*)(const void* context, uint32_t y, float* row);

constexpr uint32_t band_rows = 16;
constexpr uint32_t max_box_radius = 2;
constexpr uint32_t gauss_radius = 2;
constexpr uint32_t level_halo = 2 * max_box_radius + gauss_radius;
constexpr uint32_t sum_halo = 2 * max_box_radius;
constexpr uint32_t fit_halo = max_box_radius;

// One stage's rows of a band: row y (absolute) at data + (y - first) * stride.
struct plane {
    float* data;
    int64_t first;
    size_t stride;
    float* row(int64_t y) const { return data + (y - first) * int64_t(stride); }
};

// The rows [first, last) of a stage for output rows [y0, y1), cut to the picture.
struct row_range {
    int64_t first, last;
};

row_range around(uint32_t y0, uint32_t y1, uint32_t halo, uint32_t height)
{
    return {std::max<int64_t>(0, int64_t(y0) - halo), std::min<int64_t>(height, int64_t(y1) + halo)};
}

int64_t clamp_row(int64_t y, uint32_t height) { return std::clamp<int64_t>(y, 0, int64_t(height) - 1); }

// out[i] = sum over k in [-r, r] of weight(|k|) * in[i + 3k], columns beyond the row taking the
// nearest pixel's byte of the same channel. The inner part, where no column is clamped, is the
// loop the compiler vectorises.
template <class Weight>
void across(const float* in, float* out, size_t count, uint32_t radius, Weight weight)
{
    const int64_t n = int64_t(count), reach = int64_t(radius) * 3;
    const auto clamped = [&](int64_t i, int64_t k) {
        int64_t j = i + k * 3;
        while (j < 0) j += 3;
        while (j >= n) j -= 3;
        return in[j];
    };
    const auto edge = [&](int64_t i) {
        float sum = weight(0) * in[i];
        for (int64_t k = 1; k <= int64_t(radius); ++k)
            sum += weight(uint32_t(k)) * (clamped(i, -k) + clamped(i, k));
        out[i] = sum;
    };
    const int64_t inner_first = std::min(reach, n), inner_last = std::max(n - reach, inner_first);
    for (int64_t i = 0; i < inner_first; ++i) edge(i);
    for (int64_t i = inner_first; i < inner_last; ++i) {
        float sum = weight(0) * in[i];
        for (int64_t k = 1; k <= int64_t(radius); ++k) sum += weight(uint32_t(k)) * (in[i - k * 3] + in[i + k * 3]);
        out[i] = sum;
    }
    for (int64_t i = inner_last; i < n; ++i) edge(i);
}

// Row y of `out` from rows y - r .. y + r of `in` (the nearest row beyond the picture).
template <class Weight>
void down(const plane& in, int64_t y, float* out, size_t count, uint32_t radius, uint32_t height,
          Weight weight)
{
    const float* centre = in.row(y);
    for (size_t i = 0; i < count; ++i) out[i] = weight(0) * centre[i];
    for (uint32_t k = 1; k <= radius; ++k) {
        const float* above = in.row(clamp_row(y - k, height));
        const float* below = in.row(clamp_row(y + k, height));
        const float w = weight(k);
        for (size_t i = 0; i < count; ++i) out[i] += w * (above[i] + below[i]);
    }
}

struct band_planes {
    plane levels, guide, sums[4], a, b;
    float* scratch;    // one row
    float* scratch2;   // one row
    uint8_t* pending;  // band_rows rows of output bytes
};

band_planes planes_in(void* work, size_t count)
{
    float* next = static_cast<float*>(work);
    const auto take = [&](uint32_t rows) {
        plane p{next, 0, count};
        next += size_t(rows) * count;
        return p;
    };
    band_planes b{};
    b.levels = take(band_rows + 2 * level_halo);
    b.guide = take(band_rows + 2 * sum_halo);
    for (plane& sum : b.sums) sum = take(band_rows + 2 * sum_halo);
    b.a = take(band_rows + 2 * fit_halo);
    b.b = take(band_rows + 2 * fit_halo);
    b.scratch = next;
    b.scratch2 = next + count;
    b.pending = reinterpret_cast<uint8_t*>(next + 2 * count);
    return b;
}

void load_levels(band_planes& p, row_range rows, level_row_loader load, const void* context)
{
    p.levels.first = rows.first;
    for (int64_t y = rows.first; y < rows.last; ++y) load(context, uint32_t(y), p.levels.row(y));
}

// The guide and the four sums across, for the rows of `rows`.
void guide_and_sums(band_planes& p, row_range rows, const grain_filter& f, uint32_t height)
{
    const size_t n = p.levels.stride;
    const uint32_t r = f.box_radius;
    const auto gauss = [&f](uint32_t k) { return f.gauss[k]; };
    const float box_weight = 1.0f / float(2 * r + 1);
    const auto box = [box_weight](uint32_t) { return box_weight; };
    p.guide.first = rows.first;
    for (plane& sum : p.sums) sum.first = rows.first;
    for (int64_t y = rows.first; y < rows.last; ++y) {
        down(p.levels, y, p.scratch, n, gauss_radius, height, gauss);
        float* guide = p.guide.row(y);
        across(p.scratch, guide, n, gauss_radius, gauss);
        const float* levels = p.levels.row(y);
        across(guide, p.sums[0].row(y), n, r, box);
        across(levels, p.sums[1].row(y), n, r, box);
        for (size_t i = 0; i < n; ++i) p.scratch[i] = guide[i] * guide[i];
        across(p.scratch, p.sums[2].row(y), n, r, box);
        for (size_t i = 0; i < n; ++i) p.scratch[i] = guide[i] * levels[i];
        across(p.scratch, p.sums[3].row(y), n, r, box);
    }
}

// Each window's line fit of the levels on the guide (a, b), boxed across.
void line_fits(band_planes& p, row_range rows, const grain_filter& f, uint32_t height)
{
    const size_t n = p.levels.stride;
    const uint32_t r = f.box_radius;
    const float box_weight = 1.0f / float(2 * r + 1);
    const auto box = [box_weight](uint32_t) { return box_weight; };
    float* mean[4] = {p.scratch, p.scratch2, nullptr, nullptr};
    p.a.first = p.b.first = rows.first;
    for (int64_t y = rows.first; y < rows.last; ++y) {
        // a and b's rows hold the squared and cross means until the fit replaces them.
        mean[2] = p.a.row(y);
        mean[3] = p.b.row(y);
        for (int s = 0; s < 4; ++s) down(p.sums[s], y, mean[s], n, r, height, box);
        for (size_t i = 0; i < n; ++i) {
            const float m_guide = mean[0][i], m_levels = mean[1][i];
            const float variance = mean[2][i] - m_guide * m_guide;
            const float covariance = mean[3][i] - m_guide * m_levels;
            const float slope = covariance / (variance + f.eps);
            mean[2][i] = slope;
            mean[3][i] = m_levels - slope * m_guide;
        }
        std::memcpy(p.scratch, p.a.row(y), n * sizeof(float));
        across(p.scratch, p.a.row(y), n, r, box);
        std::memcpy(p.scratch, p.b.row(y), n * sizeof(float));
        across(p.scratch, p.b.row(y), n, r, box);
    }
}

uint8_t to_byte(float value)
{
    if (!(value > 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    return uint8_t(value + 0.5f);
}

// The output rows [y0, y1) into `pending`.
void output_rows(band_planes& p, uint32_t y0, uint32_t y1, const grain_filter& f, uint32_t height)
{
    const size_t n = p.levels.stride;
    const uint32_t r = f.box_radius;
    const float box_weight = 1.0f / float(2 * r + 1);
    const auto box = [box_weight](uint32_t) { return box_weight; };
    for (uint32_t y = y0; y < y1; ++y) {
        down(p.a, y, p.scratch, n, r, height, box);
        down(p.b, y, p.scratch2, n, r, height, box);
        const float* guide = p.guide.row(y);
        uint8_t* out = p.pending + size_t(y - y0) * n;
        for (size_t i = 0; i < n; ++i) out[i] = to_byte(p.scratch[i] * guide[i] + p.scratch2[i]);
    }
}

void write_pending(const band_planes& p, uint32_t y0, uint32_t y1, const raster_geometry& g,
                   uint8_t* raster)
{
    const size_t n = p.levels.stride;
    for (uint32_t y = y0; y < y1; ++y)
        std::memcpy(raster + size_t(y) * g.string_length, p.pending + size_t(y - y0) * n, n);
}

// The work grain_filter_run() needs for a picture of this geometry, in bytes.
uint64_t grain_filter_work_bytes(const raster_geometry& g)
{
    const uint64_t rows = (band_rows + 2 * level_halo) + 5 * (band_rows + 2 * sum_halo) +
                          2 * (band_rows + 2 * fit_halo) + 2;
    const uint64_t count = uint64_t(g.width) * 3;
    return rows * count * sizeof(float) + band_rows * count;
}

// Filters the picture that `load` gives, row by row, into the pixel bytes of `raster` (the
// output's raster, `g`'s rows; padding is not touched). `load` may read `raster` itself: each
// band's rows are written only after every row that reads them was loaded.
void grain_filter_run(const raster_geometry& g, level_row_loader load, const void* context,
                      const grain_filter& filter, uint8_t* raster, void* work)
{
    const size_t count = size_t(g.width) * 3;
    if (count == 0 || g.height == 0) return;
    band_planes p = planes_in(work, count);
    const uint32_t r = std::min(filter.box_radius, max_box_radius);
    grain_filter f = filter;
    f.box_radius = r;
    uint32_t written = 0, filtered = 0;
    for (uint32_t y0 = 0; y0 < g.height; y0 = filtered) {
        const uint32_t y1 = y0 + std::min(band_rows, g.height - y0);
        load_levels(p, around(y0, y1, 2 * r + gauss_radius, g.height), load, context);
        write_pending(p, written, filtered, g, raster);
        written = filtered;
        guide_and_sums(p, around(y0, y1, 2 * r, g.height), f, g.height);
        line_fits(p, around(y0, y1, r, g.height), f, g.height);
        output_rows(p, y0, y1, f, g.height);
        filtered = y1;
    }
    write_pending(p, written, filtered, g, raster);
}

}  // namespace
