// vorn's PNG writer: the rows filtered and deflated in pieces (png_pieces.h), side by side, and
// the file's chunks written around them. zlib deflates and checksums; the chunks are framing.
#include <zlib.h>

#include <spng.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

#include "fault.h"
#include "picture_memory.h"
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
    append_be32(out, uint32_t(crc32(0, out.data() + start, uInt(length + 4))));
}

// The zlib header zlib itself writes for these settings: deflate with a 32 KiB window, the level
// class in FLEVEL, and check bits that make the pair a multiple of 31.
struct zlib_header_bytes {
    uint8_t bytes[2];
};

zlib_header_bytes zlib_header_for(const png_settings& settings)
{
    const int level = settings.level == Z_DEFAULT_COMPRESSION ? 6 : settings.level;
    const unsigned level_class = settings.strategy >= Z_HUFFMAN_ONLY || level < 2 ? 0
                                 : level < 6                                       ? 1
                                 : level == 6                                      ? 2
                                                                                   : 3;
    unsigned header = (0x78u << 8) | (level_class << 6);
    header += 31 - header % 31;
    return {{uint8_t(header >> 8), uint8_t(header)}};
}

[[noreturn]] void deflate_failed(const std::string& path, int error)
{
    if (error == Z_MEM_ERROR) throw std::bad_alloc();
    raise_fault(kit::fault::output, path + ": cannot encode the PNG (zlib error " + std::to_string(error) + ")");
}

struct deflate_stream {
    z_stream stream{};
    deflate_stream(const png_settings& settings, const std::string& path)
    {
        const int error = deflateInit2(&stream, settings.level, Z_DEFLATED, -15, 8, settings.strategy);
        if (error != Z_OK) deflate_failed(path, error);
    }
    ~deflate_stream() { deflateEnd(&stream); }
    deflate_stream(const deflate_stream&) = delete;
    deflate_stream& operator=(const deflate_stream&) = delete;
};

// Bytes of a piece as it is made: never cleared, since zlib writes every byte that is kept.
struct piece_bytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0, capacity = 0;

    void reserve(size_t wanted)
    {
        if (wanted <= capacity) return;
        std::unique_ptr<uint8_t[]> grown(new uint8_t[wanted]);
        std::copy(data.get(), data.get() + size, grown.get());
        data = std::move(grown);
        capacity = wanted;
    }
    void append(const uint8_t* from, size_t length)
    {
        reserve(size + length);
        std::copy(from, from + length, data.get() + size);
        size += length;
    }
};

// Deflates `length` bytes onto the end of `out`, with `flush` after the last of them.
void deflate_onto(piece_bytes& out, z_stream& stream, const uint8_t* data, size_t length, int flush,
                  const std::string& path)
{
    size_t fed = 0;
    do {
        const size_t step = std::min<size_t>(length - fed, size_t(1) << 30);
        stream.next_in = const_cast<Bytef*>(data + fed);
        stream.avail_in = uInt(step);
        fed += step;
        const int now = fed == length ? flush : Z_NO_FLUSH;
        // Room was taken for the piece at its largest; should zlib need more, it is given more.
        do {
            if (out.capacity - out.size < 64) out.reserve(out.capacity + out.capacity / 2 + 65536);
            const size_t room = std::min<size_t>(out.capacity - out.size, size_t(1) << 30);
            stream.next_out = out.data.get() + out.size;
            stream.avail_out = uInt(room);
            const int error = deflate(&stream, now);
            out.size += room - stream.avail_out;
            if (error != Z_OK && error != Z_BUF_ERROR && error != Z_STREAM_END) deflate_failed(path, error);
        } while (stream.avail_out == 0 || stream.avail_in > 0);
    } while (fed < length);
}

// One piece: its IDAT chunk (the last one without its Adler-32 and CRC yet), the Adler-32 of its
// filtered rows and their length.
struct piece {
    piece_bytes chunk;
    uLong adler = 1;
    uint64_t filtered = 0;
};

piece deflate_piece(uint32_t width, uint32_t first, uint32_t end, bool last, const png_row_maker& make_row,
                    const std::string& path, const png_settings& settings)
{
    const size_t count = size_t(width) * 3;
    piece made;
    made.filtered = uint64_t(end - first) * (count + 1);
    deflate_stream deflater(settings, path);
    // The chunk's length, type, zlib header and trailer and CRC, the deflated rows at their
    // largest, and the full flush's marker.
    made.chunk.reserve(size_t(deflateBound(&deflater.stream, uLong(made.filtered))) + 64);
    const uint8_t type[8] = {0, 0, 0, 0, 'I', 'D', 'A', 'T'};
    made.chunk.append(type, sizeof type);
    if (first == 0) {
        const zlib_header_bytes header = zlib_header_for(settings);
        made.chunk.append(header.bytes, 2);
    }
    // Two rows to make into, since the row above is needed while the next is made, and the
    // filtered row with its filter type first.
    std::unique_ptr<uint8_t[]> rows(new uint8_t[3 * count + 1]);
    uint8_t* filtered = rows.get() + 2 * count;
    const bool up = settings.filters == SPNG_FILTER_CHOICE_UP;
    const uint8_t* above = nullptr;
    for (uint32_t y = first; y < end; ++y) {
        const uint8_t* row = make_row(y, rows.get() + (y % 2) * count);
        if (up && above) {
            filtered[0] = 2;
            for (size_t i = 0; i < count; ++i) filtered[i + 1] = uint8_t(row[i] - above[i]);
        } else if (up) {
            // A piece's first row: the sub filter, which needs no row above, is the nearest to up.
            filtered[0] = 1;
            std::copy(row, row + std::min<size_t>(count, 3), filtered + 1);
            for (size_t i = 3; i < count; ++i) filtered[i + 1] = uint8_t(row[i] - row[i - 3]);
        } else {
            filtered[0] = 0;
            std::copy(row, row + count, filtered + 1);
        }
        made.adler = adler32_z(made.adler, filtered, count + 1);
        const int flush = y + 1 < end ? Z_NO_FLUSH : last ? Z_FINISH : Z_FULL_FLUSH;
        deflate_onto(made.chunk, deflater.stream, filtered, count + 1, flush, path);
        above = row;
    }
    uint8_t tail[4] = {};
    if (last) made.chunk.append(tail, 4);  // the stream's Adler-32, known once every piece is done
    put_be32(made.chunk.data.get(), uint32_t(made.chunk.size - 8));
    if (!last) {
        put_be32(tail, uint32_t(crc32_z(0, made.chunk.data.get() + 4, made.chunk.size - 4)));
        made.chunk.append(tail, 4);
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
    uLong adler = 1;
    int reported = -1;
    run_parts(count, threads, [&](size_t which) {
        const uint32_t first = uint32_t(which * rows), end = uint32_t(std::min<uint64_t>(height, uint64_t(first) + rows));
        auto made = std::make_unique<piece>(deflate_piece(width, first, end, which + 1 == count, make_row, path, settings));
        const std::lock_guard<std::mutex> hold(joining);
        done[which] = std::move(made);
        for (; joined < count && done[joined]; ++joined) {
            piece& next = *done[joined];
            adler = adler32_combine(adler, next.adler, z_off_t(next.filtered));
            uint8_t* chunk = next.chunk.data.get();
            file.insert(file.end(), chunk, chunk + next.chunk.size);
            if (joined + 1 == count) {
                put_be32(file.data() + file.size() - 4, uint32_t(adler));
                append_be32(file, uint32_t(crc32_z(0, file.data() + file.size() - next.chunk.size + 4,
                                                   next.chunk.size - 4)));
            }
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
