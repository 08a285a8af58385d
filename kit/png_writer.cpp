// vorn's PNG writer: the rows filtered and deflated in pieces (png_pieces.h), side by side, and
// the file's chunks written around them. png_deflate.h deflates and checksums; zlib combines the
// pieces' Adler-32s; the chunks are framing.
#include <zlib.h>

#include <spng.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

#include "fault.h"
#include "picture_memory.h"
#include "png_deflate.h"
#include "png_pieces.h"
#include "side_by_side.h"

namespace {

constexpr uint64_t piece_target = uint64_t(1) << 20;
constexpr uint64_t widest_row = uint64_t(1) << 28;
const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

void put_be32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (24 - 8 * i));
}

void append_be32(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t bytes[4];
    put_be32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

// A whole chunk: length, type, data and the CRC-32 of type and data.
void append_chunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, uint32_t length)
{
    append_be32(out, length);
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + length);
    append_be32(out, png_crc32(0, out.data() + start, size_t(length) + 4));
}

// Bytes of a piece as it is made: never cleared, since the deflater writes every byte kept.
struct piece_bytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0, capacity = 0;

    // Room for `wanted` bytes; what was there is not kept.
    void make_room(size_t wanted)
    {
        size = 0;
        if (wanted <= capacity) return;
        data.reset();
        data.reset(new uint8_t[wanted]);
        capacity = wanted;
    }
};

// Buffers handed back by the pieces done, for the pieces still to come: a file's pieces then
// take a few buffers' worth of fresh memory, not their whole size, whose first touches cost
// page faults. One pool per file, so that nothing stays once it is written.
class piece_pool {
public:
    piece_bytes take()
    {
        const std::lock_guard<std::mutex> hold(lock_);
        if (kept_.empty()) return {};
        piece_bytes bytes = std::move(kept_.back());
        kept_.pop_back();
        return bytes;
    }
    void give(piece_bytes bytes)
    {
        const std::lock_guard<std::mutex> hold(lock_);
        kept_.push_back(std::move(bytes));
    }

private:
    std::mutex lock_;
    std::vector<piece_bytes> kept_;
};

// One piece: its IDAT chunk (the last one without its Adler-32 and CRC yet), the Adler-32 of its
// filtered rows and their length.
struct piece {
    piece_bytes chunk;
    uint32_t adler = 1;
    uint64_t filtered = 0;
};

// Filters rows `first` to `end` into `into` (each row's filter type, then its bytes): none, or up
// with sub for the piece's first row, which needs no row above and is the nearest to up.
void filter_rows(uint32_t width, uint32_t first, uint32_t end, const png_row_maker& make_row,
                 const png_settings& settings, uint8_t* into)
{
    const size_t count = size_t(width) * 3;
    // Two rows to make into, since the row above is needed while the next is made.
    std::unique_ptr<uint8_t[]> rows(new uint8_t[2 * count]);
    const bool up = settings.filters == SPNG_FILTER_CHOICE_UP;
    const uint8_t* above = nullptr;
    for (uint32_t y = first; y < end; ++y, into += count + 1) {
        const uint8_t* row = make_row(y, rows.get() + (y % 2) * count);
        if (up && above) {
            into[0] = 2;
            for (size_t i = 0; i < count; ++i) into[i + 1] = uint8_t(row[i] - above[i]);
        } else if (up) {
            into[0] = 1;
            std::copy(row, row + std::min<size_t>(count, 3), into + 1);
            for (size_t i = 3; i < count; ++i) into[i + 1] = uint8_t(row[i] - row[i - 3]);
        } else {
            into[0] = 0;
            std::copy(row, row + count, into + 1);
        }
        above = row;
    }
}

piece deflate_piece(uint32_t width, uint32_t first, uint32_t end, bool last, const png_row_maker& make_row,
                    const std::string& path, const png_settings& settings, piece_pool& pool)
{
    piece made;
    made.filtered = uint64_t(end - first) * (uint64_t(width) * 3 + 1);
    const size_t filtered_size = size_t(made.filtered);
    // Both buffers of the chunk's size, so that the pool's buffers serve either.
    const size_t chunk_room = png_deflate_bound(filtered_size) + 32;
    piece_bytes rows = pool.take();
    rows.make_room(chunk_room);
    filter_rows(width, first, end, make_row, settings, rows.data.get());
    made.adler = png_adler32(1, rows.data.get(), filtered_size);
    // The chunk's length and type, the zlib header, the deflated rows at their largest, and the
    // last piece's Adler-32 and CRC.
    made.chunk = pool.take();
    made.chunk.make_room(chunk_room);
    uint8_t* chunk = made.chunk.data.get();
    const uint8_t type[8] = {0, 0, 0, 0, 'I', 'D', 'A', 'T'};
    std::copy(type, type + 8, chunk);
    made.chunk.size = 8;
    if (first == 0) {
        png_zlib_header(settings, chunk + 8);
        made.chunk.size += 2;
    }
    made.chunk.size += png_deflate_piece(rows.data.get(), filtered_size, last, settings, chunk + made.chunk.size, path);
    pool.give(std::move(rows));
    if (last) {
        std::fill(chunk + made.chunk.size, chunk + made.chunk.size + 4, 0);  // the stream's Adler-32, known
        made.chunk.size += 4;                                              // once every piece is done
    }
    put_be32(chunk, uint32_t(made.chunk.size - 8));
    if (!last) {
        put_be32(chunk + made.chunk.size, png_crc32(0, chunk + 4, made.chunk.size - 4));
        made.chunk.size += 4;
    }
    return made;
}

}  // namespace

uint32_t png_piece_rows(uint32_t width)
{
    const uint64_t row = uint64_t(width) * 3 + 1;
    return uint32_t(std::max<uint64_t>(1, (piece_target + row - 1) / row));
}

bool png_pieces_fit(uint32_t width)
{
    return uint64_t(width) * 3 + 1 <= widest_row;
}

std::vector<uint8_t> write_png_in_pieces(uint32_t width, uint32_t height, const png_row_maker& make_row,
                                         const std::string& path, const png_settings& settings, unsigned threads,
                                         const std::function<void(double)>& rows_done)
{
    const uint32_t rows = png_piece_rows(width);
    const size_t count = (size_t(height) + rows - 1) / rows;
    std::vector<uint8_t> file;
    // Room for the file at its largest, taken once, as libspng's writer took it (pages never
    // written are never really used); where that much cannot be had, it grows as it goes.
    const uint64_t raw = (uint64_t(width) * 3 + 1) * height;
    try {
        if (raw <= SIZE_MAX / 2) file.reserve(size_t(raw + raw / 8 + 65536));
    } catch (const std::bad_alloc&) {
    }
    prefer_huge_pages(file.data(), file.capacity());
    file.insert(file.end(), signature, signature + 8);
    uint8_t header[13] = {};
    put_be32(header, width);
    put_be32(header + 4, height);
    header[8] = 8;                           // bits per sample
    header[9] = SPNG_COLOR_TYPE_TRUECOLOR;  // compression, filter method and interlacing 0
    append_chunk(file, "IHDR", header, sizeof header);
    uint8_t piece_rows[4];
    put_be32(piece_rows, rows);
    append_chunk(file, png_piece_chunk, piece_rows, sizeof piece_rows);

    // Pieces are joined in order as they are done: a piece done early waits for those before it.
    std::mutex joining;
    std::vector<std::unique_ptr<piece>> done(count);
    size_t joined = 0;
    uint32_t adler = 1;
    piece_pool pool;
    int reported = -1;
    run_parts(count, threads, [&](size_t which) {
        const uint32_t first = uint32_t(which * rows), end = uint32_t(std::min<uint64_t>(height, uint64_t(first) + rows));
        auto made = std::make_unique<piece>(deflate_piece(width, first, end, which + 1 == count, make_row, path, settings, pool));
        const std::lock_guard<std::mutex> hold(joining);
        done[which] = std::move(made);
        for (; joined < count && done[joined]; ++joined) {
            piece& next = *done[joined];
            adler = uint32_t(adler32_combine(adler, next.adler, z_off_t(next.filtered)));
            uint8_t* chunk = next.chunk.data.get();
            file.insert(file.end(), chunk, chunk + next.chunk.size);
            if (joined + 1 == count) {
                put_be32(file.data() + file.size() - 4, uint32_t(adler));
                append_be32(file, png_crc32(0, file.data() + file.size() - next.chunk.size + 4, next.chunk.size - 4));
            }
            pool.give(std::move(next.chunk));
            done[joined].reset();
            const uint64_t rows_written = std::min<uint64_t>(height, (uint64_t(joined) + 1) * rows);
            const int percent = int(rows_written * 100 / height);
            if (rows_done && percent != reported) rows_done(double(rows_written) / height);
            reported = percent;
        }
    });
    append_chunk(file, "IEND", nullptr, 0);
    return file;
}
