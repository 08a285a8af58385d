// Reading vorn's PNG files in pieces (png_pieces.h): each piece handed to libspng as a PNG of its
// own rows, side by side. libspng inflates, checks and unfilters every byte; this file only finds
// the pieces and frames each one.
#include <spng.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "png_deflate.h"
#include "png_pieces.h"
#include "side_by_side.h"

namespace {

uint32_t be32(const uint8_t* at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

void put_be32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (24 - 8 * i));
}

// Where a chunk stands in the file: its length field's offset and its data's length.
struct chunk_at {
    size_t offset;
    uint32_t length;
};

// The IDAT chunks of a file that says it was written in pieces of `rows` rows, one piece a
// chunk, or nothing when it does not say so or its chunks do not frame it so.
std::vector<chunk_at> piece_chunks(const std::vector<uint8_t>& file, uint32_t height, uint32_t& rows)
{
    std::vector<chunk_at> pieces;
    rows = 0;
    size_t at = 8;  // after the signature, which libspng has checked
    while (file.size() - at >= 12) {
        const uint32_t length = be32(file.data() + at);
        if (length > file.size() - at - 12) return {};
        const uint8_t* type = file.data() + at + 4;
        if (std::equal(type, type + 4, png_piece_chunk)) {
            // The chunk's own CRC, so that a damaged count cannot frame the pieces wrongly.
            const uint32_t crc = png_crc32(0, type, size_t(length) + 4);
            if (length != 4 || crc != be32(type + 8)) return {};
            rows = be32(type + 4);
        } else if (std::equal(type, type + 4, "IDAT")) {
            // Checked here, since libspng checks a chunk's CRC only when it goes on to the next
            // chunk, which it need not do once a piece's rows are out: damaged image data could
            // otherwise inflate to other pixels without a word.
            if (png_crc32(0, type, size_t(length) + 4) != be32(type + 4 + length)) return {};
            pieces.push_back({at, length});
        } else if (!pieces.empty()) {
            break;  // the image data ends with the first other chunk after it
        }
        at += size_t(length) + 12;
    }
    if (rows == 0 || pieces.size() != (uint64_t(height) + rows - 1) / rows) return {};
    return pieces;
}

void append_chunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, uint32_t length)
{
    const size_t start = out.size();
    out.resize(start + 8);
    put_be32(out.data() + start, length);
    std::copy(type, type + 4, out.begin() + ptrdiff_t(start) + 4);
    out.insert(out.end(), data, data + length);
    uint8_t crc[4];
    put_be32(crc, png_crc32(0, out.data() + start + 4, size_t(length) + 4));
    out.insert(out.end(), crc, crc + 4);
}

// A PNG of piece `which`'s rows alone: its IDAT chunk as it stands in the file (its CRC checked
// already), after the stream's zlib header where the piece does not begin the stream, and before a
// last, empty deflate block where it does not end it. A piece's Adler-32 is not in the file, so
// libspng is told to skip the check; the chunk's CRC covers the same bytes.
std::vector<uint8_t> piece_png(const std::vector<uint8_t>& file, const std::vector<chunk_at>& pieces, size_t which,
                               uint32_t width, uint32_t rows)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const chunk_at& piece = pieces[which];
    std::vector<uint8_t> png(signature, signature + 8);
    png.reserve(size_t(piece.length) + 128);
    uint8_t header[13] = {};
    put_be32(header, width);
    put_be32(header + 4, rows);
    header[8] = 8;
    header[9] = SPNG_COLOR_TYPE_TRUECOLOR;
    append_chunk(png, "IHDR", header, sizeof header);
    if (which > 0) {
        const chunk_at& first = pieces.front();
        if (first.length < 2) return {};
        append_chunk(png, "IDAT", file.data() + first.offset + 8, 2);
    }
    const uint8_t* whole = file.data() + piece.offset;
    png.insert(png.end(), whole, whole + size_t(piece.length) + 12);
    if (which + 1 < pieces.size()) {
        // A final fixed-Huffman block holding only its end code, then room for the Adler-32.
        static const uint8_t end[6] = {0x03, 0x00, 0, 0, 0, 0};
        append_chunk(png, "IDAT", end, sizeof end);
    }
    append_chunk(png, "IEND", nullptr, 0);
    return png;
}

struct context_deleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

// Decodes one piece's PNG into rows `first` on of `rows`. Its first row must be filtered
// without the row above (none or sub, as vorn writes it): any other filter would read a row the
// piece does not have, and the pixels would differ from the whole file's.
bool decode_piece(const std::vector<uint8_t>& png, const pixel_rows& rows, uint32_t first, uint32_t width)
{
    std::unique_ptr<spng_ctx, context_deleter> context(spng_ctx_new(SPNG_CTX_IGNORE_ADLER32));
    if (!context) return false;
    // Every chunk's CRC is checked above or made here.
    int error = spng_set_crc_action(context.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    if (!error) error = spng_set_png_buffer(context.get(), png.data(), png.size());
    if (!error) error = spng_decode_image(context.get(), nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
    const size_t row_bytes = size_t(width) * 3;
    spng_row_info row;
    while (!error && !(error = spng_get_row_info(context.get(), &row))) {
        if (row.row_num == 0 && first > 0 && row.filter != SPNG_FILTER_NONE && row.filter != SPNG_FILTER_SUB)
            return false;
        uint8_t* target = rows.row(first + row.row_num);
        error = spng_decode_row(context.get(), target, row_bytes);
        if ((!error || error == SPNG_EOI) && rows.bgr) swap_red_blue(target, width);
    }
    return error == SPNG_EOI;
}

}  // namespace

bool read_png_in_pieces(const std::vector<uint8_t>& file, uint32_t width, uint32_t height, const pixel_rows& rows,
                        unsigned threads)
{
    uint32_t piece_rows = 0;
    const std::vector<chunk_at> pieces = piece_chunks(file, height, piece_rows);
    if (pieces.empty()) return false;
    std::atomic<bool> read{true};
    try {
        run_parts(pieces.size(), threads, [&](size_t which) {
            if (!read) return;
            const uint32_t first = uint32_t(which * piece_rows);
            const uint32_t count = std::min(piece_rows, height - first);
            const std::vector<uint8_t> png = piece_png(file, pieces, which, width, count);
            if (png.empty() || !decode_piece(png, rows, first, width)) read = false;
        });
    } catch (const std::bad_alloc&) {
        return false;  // libspng, reading the file whole, says what is missing
    }
    return read;
}
