// The filter that takes the dither's grain out of a hidden picture's levels: a guided filter over
// 3 x 3 windows whose guide is the levels lightly smoothed by a small Gaussian. Where the guide is flat within
// a window the output is the window's mean (the grain averages away); where it varies much more
// than the grain does (an edge, texture) the output follows the levels. eps is the variance, in
// squared byte units, at which the two weigh alike: about the grain's own variance.
//
// The picture is filtered in bands of rows, each computed from its rows and a few above and
// below; beyond the picture's edges every stage repeats its nearest row or column. All
// arithmetic is float additions, multiplications and divisions in a fixed order, compiled
// without contraction, so every build gives the same bytes.
//
// For the output rows [y0, y1) of a band, with the 3 x 3 window and the Gaussian's radius 2:
//   levels   rows [y0 - 4, y1 + 4)   as loaded (the 8 rows shared with the band before kept)
//   guide    rows [y0 - 2, y1 + 2)   the levels smoothed, down then across
//   sums     rows [y0 - 2, y1 + 2)   guide, levels, guide^2 and guide * levels, boxed across
//   a, b     rows [y0 - 1, y1 + 1)   the sums boxed down give each window's line fit of the
//                                    levels on the guide (slope a, offset b), boxed across
//   output   rows [y0, y1)           a and b boxed down, applied to the guide
// each range cut to the picture's rows; a stage reading beyond the picture takes its input's
// nearest row, and every row that is read across has a margin of two pixels either side holding
// copies of its end pixels. The band's output waits in `pending` until the next band has loaded
// its levels, so that a loader reading the output's own raster still sees the rows it needs
// unfiltered.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bmp.h"

// The row loops are compiled twice where the program can choose between copies as it loads
// (x86-64 Linux with glibc): for AVX2, eight floats at a time, and for any x86-64 processor. Both
// do the same operations on every element in the same order, without contraction, so they give
// the same bytes; the processor decides which runs.
#if defined(__x86_64__) && defined(__linux__) && defined(__GLIBC__) && (defined(__GNUC__) || defined(__clang__))
#define VORN_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define VORN_WIDE_VECTORS
#endif

// Internal linkage throughout: only reconstruct.cpp includes this.
namespace {

struct grain_filter {
    float gauss[3];  // the smoothing kernel's weights at distance 0, 1 and 2; sum 1
    float eps;
};

// Fills `row` (width * 3 floats, B G R as stored) with the levels of raster row y.
using level_row_loader = void (*)(void* context, uint32_t y, float* row);

constexpr uint32_t band_rows = 16;
constexpr uint32_t level_halo = 4;
constexpr uint32_t sum_halo = 2;
constexpr uint32_t fit_halo = 1;
constexpr size_t margin = 6;  // floats before and after a row: two pixels

// One stage's rows of a band: row y (absolute) at data + (y - first) * stride, each row with its
// margins around it.
struct plane {
    float* data;
    int64_t first;
    size_t stride;
    float* row(int64_t y) const { return data + (y - first) * int64_t(stride) + margin; }
};

struct row_range {
    int64_t first, last;
};

// The levels' rows of a band, held round a ring: row y in slot y mod the ring's rows. A band's
// levels overlap the next band's by 2 * level_halo rows, which stay where they are and are not
// loaded again.
struct level_ring {
    float* data;
    size_t stride;
    row_range loaded;  // the rows the ring holds
    float* row(int64_t y) const { return data + size_t(y % int64_t(band_rows + 2 * level_halo)) * stride + margin; }
};

row_range around(uint32_t y0, uint32_t y1, uint32_t halo, uint32_t height)
{
    return {std::max<int64_t>(0, int64_t(y0) - halo), std::min<int64_t>(height, int64_t(y1) + halo)};
}

int64_t clamp_row(int64_t y, uint32_t height) { return std::clamp<int64_t>(y, 0, int64_t(height) - 1); }

// The margins of a row of n floats: its first and last pixels, twice each.
void fill_margins(float* row, size_t n)
{
    for (size_t i = 0; i < margin; ++i) {
        row[ptrdiff_t(i) - ptrdiff_t(margin)] = row[i % 3];
        row[n + i] = row[n - 3 + i % 3];
    }
}

struct band_planes {
    size_t count;  // floats of a row
    level_ring levels;
    plane guide, sums[4], a, b;
    float* scratch[2];  // one row each, with margins
    uint8_t* pending;   // band_rows rows of output bytes
};

band_planes planes_in(void* work, size_t count)
{
    const size_t stride = count + 2 * margin;
    float* next = static_cast<float*>(work);
    const auto take = [&](uint32_t rows) {
        plane p{next, 0, stride};
        next += size_t(rows) * stride;
        return p;
    };
    band_planes b{};
    b.count = count;
    b.levels = {take(band_rows + 2 * level_halo).data, stride, {0, 0}};
    b.guide = take(band_rows + 2 * sum_halo);
    for (plane& sum : b.sums) sum = take(band_rows + 2 * sum_halo);
    b.a = take(band_rows + 2 * fit_halo);
    b.b = take(band_rows + 2 * fit_halo);
    b.scratch[0] = next + margin;
    b.scratch[1] = next + stride + margin;
    b.pending = reinterpret_cast<uint8_t*>(next + 2 * stride);
    return b;
}

// The levels of `rows`, which begin no earlier than those the ring holds and span no more rows
// than it has: only those not held yet are loaded.
void load_levels(band_planes& p, row_range rows, level_row_loader load, void* context)
{
    const row_range held = p.levels.loaded;
    p.levels.loaded = rows;
    for (int64_t y = rows.first; y < rows.last; ++y) {
        if (y >= held.first && y < held.last) continue;
        float* row = p.levels.row(y);
        load(context, uint32_t(y), row);
        fill_margins(row, p.count);
    }
}

// The loops over a row, each a function of its own whose pointers are restrict: the rows never
// overlap, and saying so lets the compiler run them as vector code. Loops that read a row's
// margins (i - 3, i - 6) count in ptrdiff_t, so that the index before the row is negative rather
// than an unsigned value wrapped around.
VORN_WIDE_VECTORS
void smooth_down(float* __restrict out, const float* __restrict centre, const float* __restrict up1,
                 const float* __restrict down1, const float* __restrict up2, const float* __restrict down2,
                 size_t n, const grain_filter& f)
{
    const float w0 = f.gauss[0], w1 = f.gauss[1], w2 = f.gauss[2];
    for (size_t i = 0; i < n; ++i) out[i] = w0 * centre[i] + w1 * (up1[i] + down1[i]) + w2 * (up2[i] + down2[i]);
}

VORN_WIDE_VECTORS
void smooth_across(float* __restrict out, const float* __restrict in, size_t n, const grain_filter& f)
{
    const float w0 = f.gauss[0], w1 = f.gauss[1], w2 = f.gauss[2];
    for (ptrdiff_t i = 0; i < ptrdiff_t(n); ++i)
        out[i] = w0 * in[i] + w1 * (in[i - 3] + in[i + 3]) + w2 * (in[i - 6] + in[i + 6]);
}

constexpr float third = 1.0f / 3.0f;

VORN_WIDE_VECTORS
void sums_across(float* __restrict s0, float* __restrict s1, float* __restrict s2, float* __restrict s3,
                 const float* __restrict g, const float* __restrict l, size_t n)
{
    for (ptrdiff_t i = 0; i < ptrdiff_t(n); ++i) {
        const float gl = g[i - 3], gc = g[i], gr = g[i + 3];
        const float ll = l[i - 3], lc = l[i], lr = l[i + 3];
        s0[i] = third * gc + third * (gl + gr);
        s1[i] = third * lc + third * (ll + lr);
        s2[i] = third * (gc * gc) + third * (gl * gl + gr * gr);
        s3[i] = third * (gc * lc) + third * (gl * ll + gr * lr);
    }
}

// The line fit of each window: rows[s] are sum s's rows above, at and below the fit's row.
VORN_WIDE_VECTORS
void fit_windows(float* __restrict slope, float* __restrict offset, const float* __restrict g0,
                 const float* __restrict g1, const float* __restrict g2, const float* __restrict l0,
                 const float* __restrict l1, const float* __restrict l2, const float* __restrict q0,
                 const float* __restrict q1, const float* __restrict q2, const float* __restrict c0,
                 const float* __restrict c1, const float* __restrict c2, size_t n, float eps)
{
    for (size_t i = 0; i < n; ++i) {
        const float m_guide = third * g1[i] + third * (g0[i] + g2[i]);
        const float m_levels = third * l1[i] + third * (l0[i] + l2[i]);
        const float m_square = third * q1[i] + third * (q0[i] + q2[i]);
        const float m_cross = third * c1[i] + third * (c0[i] + c2[i]);
        const float variance = m_square - m_guide * m_guide;
        const float covariance = m_cross - m_guide * m_levels;
        const float a = covariance / (variance + eps);
        slope[i] = a;
        offset[i] = m_levels - a * m_guide;
    }
}

VORN_WIDE_VECTORS
void box_across(float* __restrict out, const float* __restrict in, size_t n)
{
    for (ptrdiff_t i = 0; i < ptrdiff_t(n); ++i) out[i] = third * in[i] + third * (in[i - 3] + in[i + 3]);
}

// a and b boxed down, applied to the guide, clamped and rounded to bytes. (No value is NaN:
// every fit divides by at least eps.)
VORN_WIDE_VECTORS
void apply_fits(uint8_t* __restrict out, const float* __restrict a0, const float* __restrict a1,
                const float* __restrict a2, const float* __restrict b0, const float* __restrict b1,
                const float* __restrict b2, const float* __restrict g, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const float a = third * a1[i] + third * (a0[i] + a2[i]);
        const float b = third * b1[i] + third * (b0[i] + b2[i]);
        float value = a * g[i] + b;
        value = value < 0.0f ? 0.0f : value;
        value = value > 255.0f ? 255.0f : value;
        out[i] = uint8_t(uint32_t(int32_t(value + 0.5f)));
    }
}

// The guide (the levels smoothed down, then across) and the four sums across, for `rows`.
void guide_and_sums(band_planes& p, row_range rows, const grain_filter& f, uint32_t height)
{
    const size_t n = p.count;
    p.guide.first = rows.first;
    for (plane& sum : p.sums) sum.first = rows.first;
    for (int64_t y = rows.first; y < rows.last; ++y) {
        const float* l = p.levels.row(y);
        smooth_down(p.scratch[0], l, p.levels.row(clamp_row(y - 1, height)), p.levels.row(clamp_row(y + 1, height)),
                    p.levels.row(clamp_row(y - 2, height)), p.levels.row(clamp_row(y + 2, height)), n, f);
        fill_margins(p.scratch[0], n);
        float* g = p.guide.row(y);
        smooth_across(g, p.scratch[0], n, f);
        fill_margins(g, n);
        sums_across(p.sums[0].row(y), p.sums[1].row(y), p.sums[2].row(y), p.sums[3].row(y), g, l, n);
    }
}

// Each window's line fit of the levels on the guide, for `rows`: the sums boxed down give the
// window's means; a and b are then boxed across.
void line_fits(band_planes& p, row_range rows, const grain_filter& f, uint32_t height)
{
    const size_t n = p.count;
    p.a.first = p.b.first = rows.first;
    for (int64_t y = rows.first; y < rows.last; ++y) {
        const int64_t up = clamp_row(y - 1, height), down = clamp_row(y + 1, height);
        const plane* s = p.sums;
        fit_windows(p.scratch[0], p.scratch[1], s[0].row(up), s[0].row(y), s[0].row(down), s[1].row(up),
                    s[1].row(y), s[1].row(down), s[2].row(up), s[2].row(y), s[2].row(down), s[3].row(up),
                    s[3].row(y), s[3].row(down), n, f.eps);
        fill_margins(p.scratch[0], n);
        fill_margins(p.scratch[1], n);
        box_across(p.a.row(y), p.scratch[0], n);
        box_across(p.b.row(y), p.scratch[1], n);
    }
}

// The output rows [y0, y1) into `pending`.
void output_rows(band_planes& p, uint32_t y0, uint32_t y1, uint32_t height)
{
    for (uint32_t y = y0; y < y1; ++y) {
        const int64_t up = clamp_row(int64_t(y) - 1, height), down = clamp_row(int64_t(y) + 1, height);
        apply_fits(p.pending + size_t(y - y0) * p.count, p.a.row(up), p.a.row(y), p.a.row(down), p.b.row(up),
                   p.b.row(y), p.b.row(down), p.guide.row(y), p.count);
    }
}

void write_pending(const band_planes& p, uint32_t y0, uint32_t y1, const raster_geometry& g,
                   uint8_t* raster)
{
    for (uint32_t y = y0; y < y1; ++y)
        std::memcpy(raster + size_t(y) * g.string_length, p.pending + size_t(y - y0) * p.count, p.count);
}

// The work grain_filter_run() needs for a picture of this geometry, in bytes.
uint64_t grain_filter_work_bytes(const raster_geometry& g)
{
    const uint64_t rows = (band_rows + 2 * level_halo) + 5 * (band_rows + 2 * sum_halo) +
                          2 * (band_rows + 2 * fit_halo) + 2;
    const uint64_t count = uint64_t(g.width) * 3;
    return rows * (count + 2 * margin) * sizeof(float) + band_rows * count;
}

// Filters the picture that `load` gives, row by row, into the pixel bytes of `raster` (the
// output's raster, `g`'s rows; padding is not touched): its rows [first, end), which may be all
// of them. `load` may read `raster` itself: each band's rows are written only after every row
// that reads them was loaded. A row's bytes do not depend on the band it falls in, so the rows
// of a picture can be filtered in several runs, in any order or side by side, to the same bytes.
void grain_filter_run(const raster_geometry& g, level_row_loader load, void* context,
                      const grain_filter& filter, uint8_t* raster, void* work, uint32_t first = 0,
                      uint32_t end = UINT32_MAX)
{
    const size_t count = size_t(g.width) * 3;
    end = std::min(end, g.height);
    if (count == 0 || first >= end) return;
    band_planes p = planes_in(work, count);
    uint32_t written = first, filtered = first;
    for (uint32_t y0 = first; y0 < end; y0 = filtered) {
        const uint32_t y1 = y0 + std::min(band_rows, end - y0);
        load_levels(p, around(y0, y1, level_halo, g.height), load, context);
        write_pending(p, written, filtered, g, raster);
        written = filtered;
        guide_and_sums(p, around(y0, y1, sum_halo, g.height), filter, g.height);
        line_fits(p, around(y0, y1, fit_halo, g.height), filter, g.height);
        output_rows(p, y0, y1, g.height);
        filtered = y1;
    }
    write_pending(p, written, filtered, g, raster);
}

}  // namespace
