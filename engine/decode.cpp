// Decoding: the two lowest bits of every coded byte, moved to the top, become the first decoded
// image; the four lowest, moved to the top and unscrambled, the second.
#include "bmp.h"

#include <algorithm>
#include <cstring>

#include "permute.h"
#include "sizes.h"

namespace {

// The spare room second_decoded_in_place needs when `permuted`: the column table (4 bytes per
// column) and two spare rows of pixels with one byte beyond each. In 64 bits: the caller checks
// that it fits its size_t.
uint64_t decode_spare_bytes(const raster_geometry& g)
{
    return g.height == 0 ? 0 : uint64_t(g.width) * 10 + 2;
}

uint8_t first_of(uint8_t coded) { return uint8_t(coded << 6); }

// vornhold2: reverse_nibble of the four low bits, moved up; each bit moves on its own, which
// the compiler turns into vector code where a table look-up would stay one byte at a time.
uint8_t second_reversed(uint8_t coded)
{
    return uint8_t((coded & 1) << 7 | (coded & 2) << 5 | (coded & 4) << 3 | (coded & 8) << 1);
}

uint8_t second_in_order(uint8_t coded) { return uint8_t(coded << 4); }

// Row `to` takes pixel (reversed x) of `from` as its pixel x; `source` holds 3 * (reversed x)
// for every x. `from` is a copy with at least one byte to spare after its pixels, so that every
// pixel moves as one 4-byte word; the spare byte each store writes past its pixel is overwritten
// by the next one, and the last pixel of the row moves as three bytes so that nothing beyond the
// row is touched.
void take_reversed_pixels(uint8_t* to, const uint8_t* from, const uint32_t* source, uint32_t width)
{
    const uint32_t last = width - 1;
    for (uint32_t x = 0; x < last; ++x) std::memcpy(to + size_t(x) * 3, from + source[x], 4);
    std::memcpy(to + size_t(last) * 3, from + source[last], 3);
}

// Decoded_2 made in place: every byte extracted, then, when the picture is permuted, every pixel
// moved to its bit-reversed place. The permutation is its own inverse, so row y and row
// (reversed y) exchange their pixels, each with its columns reversed. `spare` holds the column
// table and two rows. (Extracting all bytes in one pass first measured faster than extracting
// the pixels on their way into the spare rows.)
template <class Second>
void second_in_place(uint8_t* raster, const raster_geometry& g, bool permuted, Second second,
                     uint8_t* spare)
{
    const size_t count = size_t(g.length) - g.offset_raster;
    for (size_t i = 0; i < count; ++i) raster[i] = second(raster[i]);
    if (!permuted) return;
    const size_t stride = g.string_length;
    const size_t pixels = size_t(g.width) * 3;
    uint32_t* const source = reinterpret_cast<uint32_t*>(spare);
    for_each_reversed_column(g.width, [&](uint32_t x, uint32_t x_reversed) { source[x] = x_reversed * 3; });
    uint8_t* const spare_row = spare + size_t(g.width) * 4;
    uint8_t* const spare_other = spare_row + pixels + 1;
    for (uint32_t y = 0; y < g.height; ++y) {
        const uint32_t partner = reverse_low_bits(y, g.height);
        if (partner < y) continue;  // exchanged with its partner already
        uint8_t* row = raster + size_t(y) * stride;
        uint8_t* other = raster + size_t(partner) * stride;
        std::memcpy(spare_row, row, pixels);
        if (partner == y) {
            take_reversed_pixels(row, spare_row, source, g.width);
            continue;
        }
        std::memcpy(spare_other, other, pixels);
        take_reversed_pixels(row, spare_other, source, g.width);
        take_reversed_pixels(other, spare_row, source, g.width);
    }
}

// The bytes of Decoded_1 from file offset `offset` on, `count` of them, into `piece`.
void first_decoded_piece(const uint8_t* coded_image, const raster_geometry& g, size_t offset,
                         size_t count, uint8_t* piece)
{
    // The head (before offset_raster) is copied as it stands; the raster is extracted.
    const size_t head = offset < g.offset_raster ? std::min<size_t>(count, g.offset_raster - offset) : 0;
    std::copy_n(coded_image + offset, head, piece);
    const uint8_t* coded = coded_image + offset;
    for (size_t i = head; i < count; ++i) piece[i] = first_of(coded[i]);
}

// Turns the coded picture into Decoded_2 in place: every raster byte extracted, and the pixels
// moved to their bit-reversed places when `permuted`. `spare` holds decode_spare_bytes(g)
// bytes, 4-byte aligned.
void second_decoded_in_place(uint8_t* coded_image, const raster_geometry& g, vorn_build build,
                             bool permuted, uint8_t* spare)
{
    // Lambdas rather than function pointers, so that the byte rule is inlined into the loop.
    uint8_t* raster = coded_image + g.offset_raster;
    if (build == VORN_VORNHOLD2)
        second_in_place(raster, g, permuted, [](uint8_t coded) { return second_reversed(coded); }, spare);
    else
        second_in_place(raster, g, permuted, [](uint8_t coded) { return second_in_order(coded); }, spare);
}

}  // namespace

vorn_error vorn_program_decode_work_size(const vorn_geometry* geometry, size_t* size)
{
    if (!geometry) return VORN_ERR_ARGUMENT;
    return hand_out_size(decode_spare_bytes(*geometry), size);
}

vorn_error vorn_program_decode1_piece(const uint8_t* coded, const vorn_geometry* geometry, size_t offset,
                                      size_t count, uint8_t* piece)
{
    if (!coded || !geometry || (count > 0 && !piece)) return VORN_ERR_ARGUMENT;
    if (offset > geometry->length || count > geometry->length - offset) return VORN_ERR_RANGE;
    first_decoded_piece(coded, *geometry, offset, count, piece);
    return VORN_OK;
}

vorn_error vorn_program_decode(const uint8_t* coded, size_t length, vorn_build build, uint8_t* decoded1,
                               uint8_t* decoded2, void* work, size_t work_size)
{
    if (!coded || !decoded2 || !known_build(build)) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(coded, length, g)) return error;
    const bool permuted = vorn_scrambles(&g);
    // Only moving the pixels takes work room.
    if (const vorn_error error = check_work(work, work_size, permuted ? decode_spare_bytes(g) : 0)) return error;

    // The first image is taken before the second may overwrite the coded picture.
    if (decoded1) first_decoded_piece(coded, g, 0, length, decoded1);
    if (decoded2 != coded) std::memcpy(decoded2, coded, length);
    second_decoded_in_place(decoded2, g, build, permuted, static_cast<uint8_t*>(work));
    return VORN_OK;
}
