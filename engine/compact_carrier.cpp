// The compact form's carrier: a stream of bits laid into the k lowest bits of every colour byte,
// and the carrier dithered to the 8 - k bits above them (the compact group of vorn.h).
//
// The dithering follows the keyed form's carrier stage (keyed_stages.cpp): serpentine rows,
// right to left first, half of a byte's error on to the next pixel and half down, all of it on
// in the first row and all of it down from a row's last pixel, the error measured before
// clamping. Two things differ. Each byte takes the level whose value with its fixed bits is
// nearest, not the level below: the fixed bits here are random, and flooring would leave errors
// of up to a whole step where rounding leaves half of one (the carrier about 3 dB nearer its
// original). And it works at 2^16 per carrier step instead of 2^24 per kept level: with 7 kept
// bits a bright byte plus its error would pass 2^31 at that scale and read as negative, while
// here every value stays within a few 2^24.
#include <algorithm>

#include "bmp.h"
#include "layout.h"
#include "sizes.h"

namespace {

constexpr int byte_shift = 16;  // a carrier byte b enters as b << 16

bool known_bits(unsigned low_bits) { return low_bits >= 1 && low_bits <= VORN_COMPACT_MAX_BITS; }

uint64_t colour_bytes_of(const raster_geometry& g) { return uint64_t(g.width) * 3 * g.height; }

uint64_t stream_bytes(uint64_t fields, unsigned low_bits) { return (fields * low_bits + 7) / 8; }

// The stream's k-bit fields in turn, the first bit of each its highest: its bytes taken one at
// a time into a few bits held, rather than each field found from a 64-bit bit number (which
// WebAssembly pays dearly for). A field may span two bytes; past the stream's end bits read 0.
struct field_reader {
    const uint8_t* stream;
    size_t length;
    size_t at = 0;
    uint32_t bits = 0;  // the lowest `held` bits are still to be read
    unsigned held = 0;

    uint8_t next(unsigned low_bits)
    {
        if (held < low_bits) {
            bits = bits << 8 | (at < length ? stream[at] : 0u);
            ++at;
            held += 8;
        }
        held -= low_bits;
        return uint8_t(bits >> held & ((1u << low_bits) - 1));
    }
};

// The work: one row of error passed down, then one row of the row's fields, unpacked.
struct carrier_work {
    int32_t* down;
    uint8_t* fields;
};

uint64_t work_bytes(const raster_geometry& g)
{
    return uint64_t(g.width) * 3 * (sizeof(int32_t) + 1);
}

// One row's error diffusion over `row` with its fields: each byte becomes its kept bits and its
// field. Sums are plain 32-bit integers: the largest value is 255 << 16 plus shares below 2^22.
void dither_row(uint8_t* row, const uint8_t* fields, int32_t* down, uint32_t width, bool first_row,
                bool right_to_left, unsigned low_bits)
{
    const int step_shift = byte_shift + int(low_bits);
    const int32_t step_mask = (int32_t(1) << step_shift) - 1;
    const int32_t half_step = int32_t(1) << (step_shift - 1);
    const int32_t top = int32_t(((1u << (8 - low_bits)) - 1) << step_shift);
    const uint8_t field_mask = uint8_t((1u << low_bits) - 1);
    const uint8_t kept_mask = uint8_t(~field_mask);
    int32_t side[3] = {0, 0, 0};
    for (uint32_t walked = 0; walked < width; ++walked) {
        const uint32_t x = right_to_left ? width - 1 - walked : walked;
        const bool last = walked + 1 == width;
        for (size_t c = 0; c < 3; ++c) {
            const size_t at = size_t(x) * 3 + c;
            const int32_t v = (int32_t(row[at]) << byte_shift) + down[at] + side[c];
            // The level whose value with the fixed bits lies nearest v: the kept bits of v moved
            // up by half a step less the fixed bits (below 0 too, where the bits are floored).
            const int32_t centred = v + half_step - (int32_t(fields[at]) << byte_shift);
            row[at] = uint8_t(kept_bits(centred, top, byte_shift, kept_mask) | fields[at]);
            const int32_t error = (centred & step_mask) - half_step;
            down[at] = last ? error : error / 2;
            side[c] = first_row ? error : error / 2;
        }
    }
}

}  // namespace

vorn_error vorn_compact_stream_length(const vorn_geometry* geometry, unsigned low_bits, size_t* length)
{
    if (!geometry || !known_bits(low_bits)) return VORN_ERR_ARGUMENT;
    return hand_out_size(stream_bytes(colour_bytes_of(*geometry), low_bits), length);
}

vorn_error vorn_compact_carrier_work_size(const vorn_geometry* geometry, size_t* size)
{
    if (!geometry) return VORN_ERR_ARGUMENT;
    return hand_out_size(work_bytes(*geometry), size);
}

vorn_error vorn_compact_carrier(uint8_t* image, size_t length, unsigned low_bits, const uint8_t* stream,
                                size_t stream_length, void* work, size_t work_size)
{
    if (!image || !stream || !known_bits(low_bits)) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(image, length, g)) return error;
    const uint64_t needed_stream = stream_bytes(colour_bytes_of(g), low_bits);
    const uint64_t needed_work = work_bytes(g);
    if (stream_length < needed_stream || work_size < needed_work) return VORN_ERR_BUFFER_TOO_SMALL;
    if (needed_work > 0 && !work) return VORN_ERR_ARGUMENT;

    const size_t per_row = size_t(g.width) * 3;
    const carrier_work rows{static_cast<int32_t*>(work), static_cast<uint8_t*>(work) + per_row * sizeof(int32_t)};
    std::fill_n(rows.down, per_row, 0);
    uint8_t* raster = image + g.offset_raster;
    const uint8_t kept_mask = uint8_t(~((1u << low_bits) - 1));
    // The rows' fields follow each other in the stream.
    field_reader fields{stream, stream_length};
    for (uint32_t y = 0; y < g.height && per_row > 0; ++y) {
        for (size_t i = 0; i < per_row; ++i) rows.fields[i] = fields.next(low_bits);
        uint8_t* row = raster + size_t(y) * g.string_length;
        dither_row(row, rows.fields, rows.down, g.width, y == 0, y % 2 == 0, low_bits);
        // Row padding holds no field and keeps the carrier's high bits.
        for (size_t i = per_row; i < g.string_length; ++i) row[i] &= kept_mask;
    }
    const size_t rows_end = size_t(g.offset_raster) + size_t(g.height) * g.string_length;
    for (size_t i = rows_end; i < length; ++i) image[i] &= kept_mask;
    return VORN_OK;
}

vorn_error vorn_compact_read(const uint8_t* coded, size_t length, unsigned low_bits, uint64_t first,
                             uint64_t count, uint8_t* stream, size_t stream_length)
{
    if (!coded || (!stream && count > 0) || !known_bits(low_bits)) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(coded, length, g)) return error;
    const uint64_t total = colour_bytes_of(g);
    if (first > total || count > total - first) return VORN_ERR_RANGE;
    if (stream_length < stream_bytes(count, low_bits)) return VORN_ERR_BUFFER_TOO_SMALL;
    if (count == 0) return VORN_OK;

    const uint8_t* raster = coded + g.offset_raster;
    const uint64_t per_row = uint64_t(g.width) * 3;
    const uint8_t field_mask = uint8_t((1u << low_bits) - 1);
    // The fields' bits from the highest, gathered in a few bits held and written out a byte at a
    // time as they fill one; the last byte's unused bits are 0.
    uint32_t bits = 0;
    unsigned held = 0;
    uint8_t* out = stream;
    // Row by row from the row of `first`: no division per colour byte.
    uint64_t y = first / per_row, x = first % per_row;
    for (uint64_t left = count; left > 0; ++y, x = 0) {
        const uint8_t* row = raster + size_t(y) * g.string_length;
        const size_t here = size_t(std::min(left, per_row - x));
        for (size_t i = size_t(x); i < size_t(x) + here; ++i) {
            bits = bits << low_bits | (row[i] & field_mask);
            held += low_bits;
            if (held >= 8) {
                held -= 8;
                *out++ = uint8_t(bits >> held);
            }
        }
        left -= here;
    }
    if (held > 0) *out = uint8_t(bits << (8 - held));
    return VORN_OK;
}
