// Decode mode: the two lowest bits of every coded byte, moved to the top, become
// "Decoded_1.bmp"; the four lowest, moved to the top and unscrambled, "Decoded_2.bmp".
#include "decode.h"

#include <algorithm>
#include <cstring>

#include "console.h"
#include "file_image.h"
#include "permute.h"

namespace {

mode_result fail(std::string_view message)
{
    say(message);
    return mode_result::failed;
}

mode_result report_write(write_status status)
{
    switch (status) {
    case write_status::written: return mode_result::written;
    case write_status::cannot_open: return fail("Can't open file for writing!\n");
    case write_status::cannot_write: return fail("Can't write file!\n");
    }
    return mode_result::failed;
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

// Decoded_1 is written in pieces straight from the coded picture, before the coded raster is
// turned into Decoded_2; no image of its own is needed.
constexpr size_t piece_bytes = size_t(1) << 18;

// One block serves as the piece for Decoded_1 and, afterwards, as the column table and the two
// spare rows of the permutation; a file shorter than a piece needs no more than its own length.
size_t working_bytes(const raster_geometry& g)
{
    const size_t rows = g.height == 0 ? 0 : size_t(g.width) * 10 + 2;
    return std::max(std::min<size_t>(g.length, piece_bytes), rows);
}

}  // namespace

void decode_rasters_plain(uint8_t* coded_image, uint8_t* decoded1, uint8_t* decoded2,
                          const raster_geometry& g, coder_build build)
{
    for (size_t j = g.offset_raster; j < g.length; ++j) {
        const uint8_t v = coded_image[j];
        decoded1[j] = uint8_t(v << 6);
        decoded2[j] = build == coder_build::vornhold2 ? uint8_t(reverse_nibble(v & 0x0F) << 4)
                                                      : uint8_t(v << 4);
    }

    if (announce_decoded_permutation(g)) permute_layer(decoded2, coded_image + g.offset_raster, g);
}

bool announce_decoded_permutation(const raster_geometry& g)
{
    const bool permutable = is_power_of_two(g.width) && is_power_of_two(g.height);
    say(permutable ? "Hidden file permutation...\n" : "Hidden file permutation not supported!\n");
    return permutable;
}

void first_decoded_piece(const uint8_t* coded_image, const raster_geometry& g, size_t offset,
                         size_t count, uint8_t* piece)
{
    // The head (before offset_raster) is copied as it stands; the raster is extracted.
    const size_t head = offset < g.offset_raster ? std::min<size_t>(count, g.offset_raster - offset) : 0;
    std::copy_n(coded_image + offset, head, piece);
    const uint8_t* coded = coded_image + offset;
    for (size_t i = head; i < count; ++i) piece[i] = first_of(coded[i]);
}

void second_decoded_in_place(uint8_t* coded_image, const raster_geometry& g, coder_build build,
                             bool permuted, uint8_t* spare)
{
    // Lambdas rather than function pointers, so that the byte rule is inlined into the loop.
    uint8_t* raster = coded_image + g.offset_raster;
    if (build == coder_build::vornhold2)
        second_in_place(raster, g, permuted, [](uint8_t coded) { return second_reversed(coded); }, spare);
    else
        second_in_place(raster, g, permuted, [](uint8_t coded) { return second_in_order(coded); }, spare);
}

mode_result decode_mode(uint8_t* coded_image, const raster_geometry& g, coder_build build)
{
    // The coded picture becomes Decoded_2 in place once Decoded_1 has been written from it, so
    // decoding needs only one piece of memory beside it.
    owned_array<uint8_t> piece = allocate_array<uint8_t>(working_bytes(g));
    if (!piece) return fail("Not enough memory!\n");
    const bool permuted = announce_decoded_permutation(g);

    say("\nWriting file's...\n");
    const write_status first = write_file_in_pieces(
        "Decoded_1.bmp", g.length, piece.get(), piece_bytes,
        [&](size_t offset, size_t count, uint8_t* out) {
            first_decoded_piece(coded_image, g, offset, count, out);
            return out;
        });
    if (report_write(first) == mode_result::failed) return mode_result::failed;
    second_decoded_in_place(coded_image, g, build, permuted, piece.get());
    return report_write(write_file_image("Decoded_2.bmp", coded_image, g.length));
}
