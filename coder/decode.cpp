// Decode mode: has the engine take the low bits out of a coded picture and writes them as
// "Decoded_1.bmp" and "Decoded_2.bmp".
#include <algorithm>

#include "coder.h"
#include "console.h"
#include "file_image.h"
#include "messages.h"

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
    case write_status::cannot_open: return fail(text::cannot_open_output);
    case write_status::cannot_write: return fail(text::cannot_write_output);
    }
    return mode_result::failed;
}

// Decoded_1 is written in pieces straight from the coded picture, before the coded picture is
// turned into Decoded_2 in place; no image of its own is needed.
constexpr size_t piece_bytes = size_t(1) << 18;

}  // namespace

mode_result decode_mode(uint8_t* coded_image, const vorn_geometry& g, coder_build build)
{
    // One block serves as the piece for Decoded_1 and, afterwards, as the engine's work room;
    // a file shorter than a piece needs no more than its own length.
    size_t work_size = 0;
    if (vorn_program_decode_work_size(&g, &work_size) != VORN_OK) return fail(text::not_enough_memory);
    const size_t block_size = std::max(std::min<size_t>(g.length, piece_bytes), work_size);
    owned_array<uint8_t> block = allocate_array<uint8_t>(block_size);
    if (!block) return fail(text::not_enough_memory);

    const bool permuted = vorn_scrambles(&g);
    say(permuted ? text::decoded_permutation : text::decoded_permutation_not_supported);
    say(text::writing_files);
    const write_status first = write_file_in_pieces(
        "Decoded_1.bmp", g.length, block.get(), piece_bytes,
        [&](size_t offset, size_t count, uint8_t* piece) {
            vorn_program_decode1_piece(coded_image, &g, offset, count, piece);
            return piece;
        });
    if (report_write(first) == mode_result::failed) return mode_result::failed;
    vorn_program_decode(coded_image, g.length, engine_build(build), nullptr, coded_image, block.get(),
                        block_size);
    return report_write(write_file_image("Decoded_2.bmp", coded_image, g.length));
}
