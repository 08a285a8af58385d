// Reconstruction: a hidden picture as the tones its levels stand for, with the dither's grain
// filtered out, from a coded picture (vorn_reconstruct) or from a keyed picture's decoded levels
// in place (vorn_keyed_reconstruct).
#include <algorithm>
#include <atomic>
#include <cstring>

#include "bmp.h"
#include "fields.h"
#include "grain_filter.h"
#include "parts.h"
#include "permute.h"
#include "sizes.h"

namespace {

// The filter per field grain, chosen by measurement on photographs (scripts/reconstruction_study.py):
// the guide smoothed by a Gaussian (its weights at distance 0, 1, 2: sigma 0.9 for 2-bit levels,
// 0.5 for 4-bit ones), and eps near the grain's variance. eps is in squared byte units at the
// tones' spacing; a keyed picture's levels are spaced wider (85 and 17 instead of 64 and 16), and
// its eps grows with the square of the spacing.
constexpr grain_filter two_bit_filter{{0.444814f, 0.239936f, 0.037657f}, 60.0f};
constexpr grain_filter four_bit_filter{{0.786986f, 0.106507f, 0.0f}, 30.0f};
constexpr grain_filter nibble_filter = two_bit_filter;

const grain_filter& filter_for(field_grain grain)
{
    return grain == field_grain::two_bit ? two_bit_filter
           : grain == field_grain::four_bit ? four_bit_filter
                                            : nibble_filter;
}

grain_filter widened(const grain_filter& filter, float spacing_ratio)
{
    grain_filter f = filter;
    f.eps = filter.eps * spacing_ratio * spacing_ratio;
    return f;
}

VORN_WIDE_VECTORS
void bytes_to_floats(float* __restrict row, const uint8_t* __restrict bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i) row[i] = float(bytes[i]);
}

// Levels read from a coded picture: every byte through the field's tone table, the row gathered
// through the permutation when the field was scrambled.
struct coded_levels {
    const uint8_t* raster;
    const raster_geometry* g;
    bool permuted;
    uint8_t tones[256];
    // Picture 2 beside picture 1 only: the nibble in order (q1 q0 p1 p0) of each byte value, the
    // ring of five rows of nibbles and the row each slot holds.
    uint8_t nibbles[256];
    uint8_t* ring;
    int64_t ring_rows[5];
    uint8_t* scratch;  // rows of bytes on their way to floats
};

void load_coded_row(void* context, uint32_t y, float* row)
{
    const coded_levels& c = *static_cast<const coded_levels*>(context);
    const raster_geometry& g = *c.g;
    const size_t n = size_t(g.width) * 3;
    uint8_t* tones = c.scratch;
    if (!c.permuted) {
        const uint8_t* own = c.raster + size_t(y) * g.string_length;
        for (size_t i = 0; i < n; ++i) tones[i] = c.tones[own[i]];
    } else {
        const uint8_t* from = permuted_source_row(c.raster, y, g);
        for_each_reversed_column(g.width, [&](uint32_t x, uint32_t x_reversed) {
            const uint8_t* pixel = from + size_t(x_reversed) * 3;
            uint8_t* to = tones + size_t(x) * 3;
            to[0] = c.tones[pixel[0]];
            to[1] = c.tones[pixel[1]];
            to[2] = c.tones[pixel[2]];
        });
    }
    bytes_to_floats(row, tones, n);
}

// Hidden picture 2 beside picture 1 is dithered over picture 1's bits, so its tones cannot go
// below the floor 16 p those bits set: where it is darker, its own bits stay 0 and the nibble
// shows picture 1's pattern instead (a ghost). Wherever picture 2's bits are 0 throughout the
// 5 x 5 pixels around a byte, its tone lies somewhere below the lowest floor there; it is read
// as half of that floor rather than as the ghost. Elsewhere the nibble is read as it stands.
//
// The nibbles of the last five rows read are kept in a ring (row y in slot y mod 5), so that
// each coded row is looked up once per pass; the test runs down the five rows, then across five
// pixels of the same channel, over rows with two pixels of margin (copies of the end pixels).
constexpr size_t ghost_rows = 5;
constexpr size_t ghost_margin = 6;

const uint8_t* nibble_row(coded_levels& c, int64_t y)
{
    const size_t n = size_t(c.g->width) * 3, slot = size_t(y) % ghost_rows;
    uint8_t* row = c.ring + slot * n;
    if (c.ring_rows[slot] != y) {
        const uint8_t* coded = c.raster + size_t(y) * c.g->string_length;
        for (size_t i = 0; i < n; ++i) row[i] = c.nibbles[coded[i]];
        c.ring_rows[slot] = y;
    }
    return row;
}

void fill_byte_margins(uint8_t* row, size_t n)
{
    for (size_t i = 0; i < ghost_margin; ++i) {
        row[ptrdiff_t(i) - ptrdiff_t(ghost_margin)] = row[i % 3];
        row[n + i] = row[n - 3 + i % 3];
    }
}

// Down the five rows: whether picture 2 has a bit set, and picture 1's lowest bits.
VORN_WIDE_VECTORS
void ghost_down(uint8_t* __restrict raised, uint8_t* __restrict floor, const uint8_t* __restrict r0,
                const uint8_t* __restrict r1, const uint8_t* __restrict r2, const uint8_t* __restrict r3,
                const uint8_t* __restrict r4, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        raised[i] = uint8_t((r0[i] | r1[i] | r2[i] | r3[i] | r4[i]) >> 2);
        floor[i] = std::min({uint8_t(r0[i] & 3), uint8_t(r1[i] & 3), uint8_t(r2[i] & 3), uint8_t(r3[i] & 3),
                             uint8_t(r4[i] & 3)});
    }
}

// Then across five pixels: the tone of each byte.
VORN_WIDE_VECTORS
void ghost_across(uint8_t* __restrict tones, const uint8_t* __restrict raised, const uint8_t* __restrict floor,
                  const uint8_t* __restrict own, size_t n)
{
    for (ptrdiff_t i = 0; i < ptrdiff_t(n); ++i) {  // reads the margins before the row
        const uint8_t any = raised[i - 6] | raised[i - 3] | raised[i] | raised[i + 3] | raised[i + 6];
        const uint8_t outer = std::min(std::min(floor[i - 6], floor[i - 3]), std::min(floor[i + 3], floor[i + 6]));
        const uint8_t lowest = std::min(outer, floor[i]);
        // Chosen by mask rather than by branch, so that the loop runs as vector code.
        const uint8_t picture2 = uint8_t(-int(any != 0));
        tones[i] = uint8_t((uint8_t(own[i] << 4) & picture2) | (uint8_t(lowest << 3) & ~picture2));
    }
}

void load_nibble_row(void* context, uint32_t y, float* row)
{
    coded_levels& c = *static_cast<coded_levels*>(context);
    const size_t n = size_t(c.g->width) * 3;
    const int64_t last = int64_t(c.g->height) - 1;
    const uint8_t* near[ghost_rows];
    for (int64_t k = 0; k < int64_t(ghost_rows); ++k)
        near[k] = nibble_row(c, std::clamp<int64_t>(int64_t(y) + k - 2, 0, last));
    uint8_t* raised = c.scratch + ghost_margin;
    uint8_t* floor = raised + n + 2 * ghost_margin;
    uint8_t* tones = floor + n + ghost_margin;
    ghost_down(raised, floor, near[0], near[1], near[2], near[3], near[4], n);
    fill_byte_margins(raised, n);
    fill_byte_margins(floor, n);
    ghost_across(tones, raised, floor, near[2], n);
    bytes_to_floats(row, tones, n);
}

// Levels already decoded into a picture's own raster, each byte its tone. Filtered in parts side
// by side, a part reads the rows just beyond its own run, which the parts beside it overwrite,
// from copies taken before any part began: `saved` holds the rows [before, first) and then the
// rows [end, after).
struct own_levels {
    const uint8_t* raster;
    const raster_geometry* g;
    const uint8_t* saved;
    uint32_t before, first, end, after;
};

void load_own_row(void* context, uint32_t y, float* row)
{
    const own_levels& c = *static_cast<const own_levels*>(context);
    const size_t n = size_t(c.g->width) * 3;
    const uint8_t* from = c.raster + size_t(y) * c.g->string_length;
    if (y >= c.before && y < c.first) from = c.saved + size_t(y - c.before) * n;
    if (y >= c.end && y < c.after) from = c.saved + size_t(c.first - c.before + y - c.end) * n;
    bytes_to_floats(row, from, n);
}

// The filter's work, then the ghost test's ring of five rows and three rows of bytes (two of them
// with margins). A picture without pixels is not filtered and takes none: a header may claim a
// row of two gigabytes over zero rows.
uint64_t reconstruct_work_bytes(const raster_geometry& g)
{
    if (g.width == 0 || g.height == 0) return 0;
    const uint64_t row = uint64_t(g.width) * 3;
    return grain_filter_work_bytes(g) + ghost_rows * row + 2 * (row + 2 * ghost_margin) + row;
}

// Reconstructing in parts side by side: each part filters a run of whole bands with work of its
// own (the filter's, the ghost test's, and the rows beyond its run that an in-place
// reconstruction saves), each part's work starting on a 64-byte boundary.
uint64_t part_work_bytes(const raster_geometry& g)
{
    const uint64_t saved = 2 * uint64_t(level_halo) * g.width * 3;
    return (reconstruct_work_bytes(g) + saved + 63) / 64 * 64;
}

uint64_t bands_of(const raster_geometry& g)
{
    return (uint64_t(g.height) + band_rows - 1) / band_rows;
}

unsigned reconstruct_parts(const raster_geometry& g, unsigned threads)
{
    if (g.width == 0 || g.height == 0) return 1;
    return parts_for(threads, bands_of(g));
}

uint64_t threaded_work_bytes(const raster_geometry& g, unsigned threads)
{
    const unsigned parts = reconstruct_parts(g, threads);
    return parts == 1 ? reconstruct_work_bytes(g) : parts * part_work_bytes(g);
}

// The rows of run `which` of `parts`: whole bands, shared out as evenly as they go.
void part_rows(const raster_geometry& g, unsigned parts, unsigned which, uint32_t& first, uint32_t& end)
{
    const uint64_t bands = bands_of(g);
    first = uint32_t(std::min<uint64_t>(g.height, bands * which / parts * band_rows));
    end = uint32_t(std::min<uint64_t>(g.height, bands * (which + 1) / parts * band_rows));
}

// Row padding and bytes after the last row hold no picture: zero.
void clear_outside_pixels(uint8_t* raster, const raster_geometry& g)
{
    const size_t pixels = size_t(g.width) * 3;
    // Only rows with padding are walked: a header may count two billion rows that hold no bytes.
    for (uint32_t y = 0; g.string_length > pixels && y < g.height; ++y)
        std::memset(raster + size_t(y) * g.string_length + pixels, 0, g.string_length - pixels);
    const size_t rows = size_t(g.height) * g.string_length;
    std::memset(raster + rows, 0, size_t(g.length) - g.offset_raster - rows);
}

}  // namespace

vorn_error vorn_reconstruct_work_size(const vorn_geometry* geometry, size_t* size)
{
    if (!geometry) return VORN_ERR_ARGUMENT;
    return hand_out_size(reconstruct_work_bytes(*geometry), size);
}

vorn_error vorn_reconstruct_threaded_work_size(const vorn_geometry* geometry, unsigned threads, size_t* size)
{
    if (!geometry) return VORN_ERR_ARGUMENT;
    return hand_out_size(threaded_work_bytes(*geometry, threads), size);
}

vorn_error vorn_reconstruct_threaded(const uint8_t* coded, size_t length, vorn_layout layout, int which,
                                     uint8_t* picture, size_t picture_length, void* work, size_t work_size,
                                     unsigned threads)
{
    const field_rule rule = field_rule_for(layout, which);
    if (!coded || !picture || !rule.picture) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(coded, length, g)) return error;
    if (picture_length < length) return VORN_ERR_BUFFER_TOO_SMALL;
    if (const vorn_error error = check_work(work, work_size, threaded_work_bytes(g, threads))) return error;

    coded_levels levels{coded + g.offset_raster, &g, rule.picture->scrambled && scrambles(g), {}, {}, nullptr,
                        {-1, -1, -1, -1, -1}, nullptr};
    for (unsigned c = 0; c < 256; ++c) {
        levels.tones[c] = rule.tone(uint8_t(c));
        levels.nibbles[c] = uint8_t(rule.tone(uint8_t(c)) >> 4);
    }
    std::memcpy(picture, coded, g.offset_raster);
    uint8_t* raster = picture + g.offset_raster;
    clear_outside_pixels(raster, g);
    if (work_size == 0) return VORN_OK;  // the picture has no pixels: nothing to filter
    const field_grain grain = rule.grain();
    const unsigned parts = reconstruct_parts(g, threads);
    const uint64_t stride = parts == 1 ? 0 : part_work_bytes(g);
    // The rows go in runs a few times as many as the parts, each part taking the next run as it
    // finishes one: a part slowed by other work on the machine leaves its share to the others.
    const unsigned runs = parts == 1 ? 1 : unsigned(std::min<uint64_t>(uint64_t(parts) * 4, bands_of(g)));
    std::atomic<unsigned> next_run{0};
    run_parts(parts, [&](unsigned part) {
        // Each part reads through a ring and scratch rows of its own.
        uint8_t* own_work = static_cast<uint8_t*>(work) + size_t(stride * part);
        coded_levels own = levels;
        own.ring = own_work + grain_filter_work_bytes(g);
        own.scratch = own.ring + ghost_rows * size_t(g.width) * 3;
        for (unsigned run = next_run++; run < runs; run = next_run++) {
            uint32_t first, end;
            part_rows(g, runs, run, first, end);
            grain_filter_run(g, grain == field_grain::nibble ? load_nibble_row : load_coded_row, &own,
                             filter_for(grain), raster, own_work, first, end);
        }
    });
    return VORN_OK;
}

vorn_error vorn_reconstruct(const uint8_t* coded, size_t length, vorn_layout layout, int which,
                            uint8_t* picture, size_t picture_length, void* work, size_t work_size)
{
    return vorn_reconstruct_threaded(coded, length, layout, which, picture, picture_length, work, work_size, 1);
}

vorn_error vorn_keyed_reconstruct_threaded(uint8_t* picture, size_t length, vorn_layout layout, int which,
                                           void* work, size_t work_size, unsigned threads)
{
    const field_rule rule = field_rule_for(layout, which);
    if (!picture || !rule.picture) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(picture, length, g)) return error;
    if (const vorn_error error = check_work(work, work_size, threaded_work_bytes(g, threads))) return error;
    if (work_size == 0) return VORN_OK;

    // The keyed form stores 2-bit tones 85 apart (picture 2 beside picture 1 too: it is a plain
    // 2-bit dither there) and 4-bit ones 17 apart.
    const bool four = rule.grain() == field_grain::four_bit;
    const grain_filter filter = widened(four ? four_bit_filter : two_bit_filter, four ? 17.0f / 16 : 85.0f / 64);
    uint8_t* raster = picture + g.offset_raster;
    const unsigned parts = reconstruct_parts(g, threads);
    if (parts == 1) {
        own_levels levels{raster, &g, nullptr, 0, 0, 0, 0};
        grain_filter_run(g, load_own_row, &levels, filter, raster, work);
        return VORN_OK;
    }
    // Every part's neighbouring rows are saved before any part writes: the level_halo rows above
    // its run, then the level_halo rows below it (fewer at the picture's edges).
    const size_t n = size_t(g.width) * 3;
    const uint64_t stride = part_work_bytes(g);
    own_levels levels[most_parts];
    for (unsigned part = 0; part < parts; ++part) {
        uint32_t first, end;
        part_rows(g, parts, part, first, end);
        uint8_t* saved = static_cast<uint8_t*>(work) + size_t(stride * part) + size_t(reconstruct_work_bytes(g));
        const uint32_t before = first - std::min(first, level_halo), after = end + std::min(g.height - end, level_halo);
        levels[part] = {raster, &g, saved, before, first, end, after};
        uint8_t* to = saved;
        for (uint32_t y = before; y < first; ++y, to += n) std::memcpy(to, raster + size_t(y) * g.string_length, n);
        for (uint32_t y = end; y < after; ++y, to += n) std::memcpy(to, raster + size_t(y) * g.string_length, n);
    }
    run_parts(parts, [&](unsigned part) {
        uint32_t first, end;
        part_rows(g, parts, part, first, end);
        grain_filter_run(g, load_own_row, &levels[part], filter, raster,
                         static_cast<uint8_t*>(work) + size_t(stride * part), first, end);
    });
    return VORN_OK;
}

vorn_error vorn_keyed_reconstruct(uint8_t* picture, size_t length, vorn_layout layout, int which,
                                  void* work, size_t work_size)
{
    return vorn_keyed_reconstruct_threaded(picture, length, layout, which, work, work_size, 1);
}
