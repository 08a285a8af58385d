// The one place the engine resamples pixels: a BMP raster scaled into a rectangle of another
// BMP raster by stb_image_resize, whose memory comes from the caller's work block through
// STBIR_MALLOC: one block per call, whose size a first call with an empty block measures.
// Only fit.cpp includes this (internal linkage throughout); that file is compiled without
// floating-point contraction (see CMakeLists.txt), so that every build, native or WebAssembly,
// rounds alike and gives the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp.h"

namespace {

// The caller's work block, handed out whole once; `wanted` records what the resampler asked.
struct work_block {
    void* base;
    uint64_t size;
    uint64_t wanted;
};

void* take_block(size_t size, void* context)
{
    work_block* block = static_cast<work_block*>(context);
    block->wanted = size;
    return size <= block->size ? block->base : nullptr;
}

}  // namespace

#define STBIR_MALLOC(size, context) take_block(size, context)
#define STBIR_FREE(pointer, context) ((void)(pointer), (void)(context))
#include "stb_resize.h"

namespace {

// What one call resamples: the source region (in the picture's own 0..1 coordinates, rows
// bottom-up as stored) and the rectangle of the frame it fills.
struct resample_plan {
    float s0, t0, s1, t1;
    uint32_t x, y, width, height;  // y counts rows from the bottom, as the BMP stores them
};

// The part of the scaled picture that lies inside the frame, along one axis: the frame's
// pixels [start, start + count) show the scaled pixels from `start - offset` on.
void overlap(int64_t offset, uint64_t scaled, uint32_t frame, uint32_t& start, uint32_t& count,
             double& from, double& to)
{
    const int64_t first = offset > 0 ? offset : 0;
    int64_t last = offset + int64_t(scaled);
    if (last > int64_t(frame)) last = frame;
    start = uint32_t(first);
    count = uint32_t(last - first);
    from = double(first - offset) / double(scaled);
    to = double(last - offset) / double(scaled);
}

resample_plan plan_of(const raster_geometry& frame, const vorn_placement& p)
{
    resample_plan plan{};
    double s0, s1, top, bottom;
    overlap(p.x, p.scaled_width, frame.width, plan.x, plan.width, s0, s1);
    uint32_t row_from_top;
    overlap(p.y, p.scaled_height, frame.height, row_from_top, plan.height, top, bottom);
    // Turned upside down: the rows the BMP stores first are the picture's last.
    plan.y = frame.height - row_from_top - plan.height;
    plan.s0 = float(s0);
    plan.s1 = float(s1);
    plan.t0 = float(1.0 - bottom);
    plan.t1 = float(1.0 - top);
    return plan;
}

// A bound on the resampler's memory for shrinking or enlarging n pixels to m along one axis,
// in 64 bits: its filters reach 2 pixels either side at scale 1, 2 / scale when shrinking. The
// resampler computes the same quantities in int, so anything near 2^31 is refused.
uint64_t filter_width(uint64_t n, uint64_t m) { return 4 * (n / (m ? m : 1) + 1) + 2; }

constexpr int channels = 3;
constexpr uint64_t resampler_limit = uint64_t(1) << 30;

// `source` is the picture's first raster byte, `out` the first byte of the frame's rectangle;
// both may be null when `block` is empty, since the resampler asks for its memory first.
int resample(const uint8_t* source, const raster_geometry& picture, uint8_t* out,
             const raster_geometry& frame, const resample_plan& plan, work_block& block)
{
    return stbir_resize_region(source, int(picture.width),
                               int(picture.height), int(picture.string_length), out,
                               int(plan.width), int(plan.height), int(frame.string_length),
                               STBIR_TYPE_UINT8, channels, STBIR_ALPHA_CHANNEL_NONE, 0,
                               STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, STBIR_FILTER_DEFAULT,
                               STBIR_FILTER_DEFAULT, STBIR_COLORSPACE_SRGB, &block, plan.s0,
                               plan.t0, plan.s1, plan.t1);
}

// The bytes of work resample_into() needs to place `picture` into `frame` as `placement` says,
// into `bytes`. False when it cannot be had: a scale so extreme that the resampler's own sizes
// would pass 2^30 (its arithmetic is in int).
bool resample_work_bytes(const raster_geometry& frame, const raster_geometry& picture,
                         const vorn_placement& placement, uint64_t& bytes)
{
    const resample_plan plan = plan_of(frame, placement);
    const uint64_t across = filter_width(picture.width, placement.scaled_width);
    const uint64_t down = filter_width(picture.height, placement.scaled_height);
    // Decode row, ring of output rows, per-pixel contributors and coefficients, each axis.
    const uint64_t bound = 4 * channels * (picture.width + across) +
                           4 * channels * uint64_t(plan.width) * (down + 3) +
                           (uint64_t(plan.width) + picture.width + across) * (8 + 4 * across) +
                           (uint64_t(plan.height) + picture.height + down) * (8 + 4 * down);
    if (bound > resampler_limit) return false;
    // The resampler measures itself: asked with no room, it names its size and stops.
    work_block block{nullptr, 0, 0};
    if (plan.width > 0 && plan.height > 0) resample(nullptr, picture, nullptr, frame, plan, block);
    bytes = block.wanted;
    return true;
}

// Resamples the pixels of `picture` (its file image `image`) into the raster of `framed`, a file
// image of geometry `frame`, where `placement` puts them; bytes outside that rectangle are left
// as they are. `work` holds resample_work_bytes() bytes. False when the resampler refuses.
bool resample_into(const uint8_t* image, const raster_geometry& picture, uint8_t* framed,
                   const raster_geometry& frame, const vorn_placement& placement, void* work,
                   uint64_t work_size)
{
    const resample_plan plan = plan_of(frame, placement);
    if (plan.width == 0 || plan.height == 0) return true;
    work_block block{work, work_size, 0};
    uint8_t* out = framed + frame.offset_raster + size_t(plan.y) * frame.string_length +
                   size_t(plan.x) * channels;
    return resample(image + picture.offset_raster, picture, out, frame, plan, block) != 0;
}

}  // namespace
