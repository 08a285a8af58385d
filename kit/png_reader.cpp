// vorn's own reading of the image data of the commonest PNG files (8-bit R G B, with or without
// alpha, not interlaced): zlib inflates pieces side by side where vorn's writer laid them out
// (png_pieces.h), and the rows are unfiltered straight into the picture; other files are
// inflated whole by libdeflate into the picture's own memory and unfiltered there (zlib a row at
// a time where the build has no libdeflate). libspng reads the header and the chunks before the
// image data, and everything else; this is only quicker.
//
// It takes less than libspng takes, never more: every IDAT chunk's CRC must hold and the zlib
// stream must end, its Adler-32 right, exactly after the last row. Anything else gives none and
// libspng decodes the file as it always did.
#include <zlib.h>
#ifdef VORN_LIBDEFLATE
#include <libdeflate.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "png_pieces.h"
#include "side_by_side.h"

namespace {

uint32_t be32(const uint8_t* at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

struct span {
    const uint8_t* data;
    size_t length;
};

struct image_data {
    std::vector<span> chunks;  // the data of the IDAT chunks, in order
    uint32_t piece_rows = 0;   // given by vorn's chunk before them; 0 without one
};

// The run of IDAT chunks, each with its CRC checked, and vorn's chunk when one comes before them.
// The chunks before were read by libspng already; what follows the run is not needed.
bool find_image_data(const std::vector<uint8_t>& file, image_data& found)
{
    size_t at = 8;
    while (file.size() - at >= 12) {
        const uint8_t* chunk = file.data() + at;
        const uint32_t length = be32(chunk);
        if (length > 0x7fffffffu || file.size() - at - 12 < length) return false;
        const bool idat = std::memcmp(chunk + 4, "IDAT", 4) == 0;
        if (!idat && !found.chunks.empty()) break;
        const bool pieces = std::memcmp(chunk + 4, png_piece_chunk, 4) == 0;
        if ((idat || pieces) && uint32_t(crc32_z(0, chunk + 4, size_t(length) + 4)) != be32(chunk + 8 + length))
            return false;
        if (idat) found.chunks.push_back({chunk + 8, length});
        if (pieces && length == 4 && found.chunks.empty()) found.piece_rows = be32(chunk + 8);
        at += 12 + size_t(length);
    }
    return !found.chunks.empty();
}

// The Paeth predictor, without branches: the neighbour (left, above or above-left) nearest to
// left + above - above-left, in that order on ties.
inline int paeth(int left, int above, int corner)
{
    const int to_left = std::abs(above - corner), to_above = std::abs(left - corner),
              to_corner = std::abs(left + above - 2 * corner);
    const int not_left = to_above <= to_corner ? above : corner;
    return to_left <= to_above && to_left <= to_corner ? left : not_left;
}

// Filter types 3 (average) and 4 (Paeth) for pixels of `Step` bytes: each channel's chain of left
// neighbours is kept in registers, and the channels' chains run side by side.
template <size_t Step>
void unfilter_average(uint8_t* __restrict row, const uint8_t* __restrict above, size_t count)
{
    int left[Step] = {};
    for (size_t i = 0; i < count; i += Step)
        for (size_t c = 0; c < Step; ++c) {
            left[c] = uint8_t(row[i + c] + ((left[c] + above[i + c]) >> 1));
            row[i + c] = uint8_t(left[c]);
        }
}

// Paeth from byte `from` of the row on (a pixel's start): the whole row where there are no vector
// instructions, the end of a row for the vector form below.
template <size_t Step>
void unfilter_paeth_from(uint8_t* __restrict row, const uint8_t* __restrict above, size_t from, size_t count)
{
    int left[Step] = {}, corner[Step] = {};
    for (size_t c = 0; c < Step && from > 0; ++c) {
        left[c] = row[from - Step + c];
        corner[c] = above[from - Step + c];
    }
    for (size_t i = from; i < count; i += Step)
        for (size_t c = 0; c < Step; ++c) {
            const int up = above[i + c];
            left[c] = uint8_t(row[i + c] + paeth(left[c], up, corner[c]));
            row[i + c] = uint8_t(left[c]);
            corner[c] = up;
        }
}

#if defined(__SSE2__)
inline __m128i four_bytes(const uint8_t* at)
{
    int32_t bytes;
    std::memcpy(&bytes, at, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), _mm_setzero_si128());
}

inline __m128i magnitude(__m128i value)
{
    return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

// A pixel's channels side by side in 16-bit lanes: the chain from pixel to pixel is the same
// length as one channel's. Four bytes are read at a time, so a row of three-byte pixels ends
// with its last pixel done as above, reading nothing beyond the rows.
template <size_t Step>
void unfilter_paeth(uint8_t* __restrict row, const uint8_t* __restrict above, size_t count)
{
    const __m128i low_byte = _mm_set1_epi16(0xff);
    __m128i left = _mm_setzero_si128(), corner = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 4 <= count; i += Step) {
        const __m128i up = four_bytes(above + i);
        __m128i to_left = _mm_sub_epi16(up, corner), to_up = _mm_sub_epi16(left, corner);
        __m128i to_corner = magnitude(_mm_add_epi16(to_left, to_up));
        to_left = magnitude(to_left);
        to_up = magnitude(to_up);
        const __m128i take_corner = _mm_cmpgt_epi16(to_up, to_corner);
        const __m128i up_or_corner = _mm_or_si128(_mm_and_si128(take_corner, corner), _mm_andnot_si128(take_corner, up));
        const __m128i not_left = _mm_or_si128(_mm_cmpgt_epi16(to_left, to_up), _mm_cmpgt_epi16(to_left, to_corner));
        const __m128i nearest = _mm_or_si128(_mm_and_si128(not_left, up_or_corner), _mm_andnot_si128(not_left, left));
        left = _mm_and_si128(_mm_add_epi16(four_bytes(row + i), nearest), low_byte);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(left, left));
        std::memcpy(row + i, &bytes, Step);
        corner = up;
    }
    unfilter_paeth_from<Step>(row, above, i, count);
}
#else
template <size_t Step>
void unfilter_paeth(uint8_t* __restrict row, const uint8_t* __restrict above, size_t count)
{
    unfilter_paeth_from<Step>(row, above, 0, count);
}
#endif

// Undoes filter `type` on a row of `count` bytes, `step` a pixel, given the row above it
// unfiltered (zeros above the first row). False for a type that does not exist.
bool unfilter(uint8_t type, uint8_t* __restrict row, const uint8_t* __restrict above, size_t count, size_t step)
{
    switch (type) {
    case 0: return true;
    case 1:
        for (size_t i = step; i < count; ++i) row[i] = uint8_t(row[i] + row[i - step]);
        return true;
    case 2:
        for (size_t i = 0; i < count; ++i) row[i] = uint8_t(row[i] + above[i]);
        return true;
    case 3:
        if (step == 3) unfilter_average<3>(row, above, count);
        else unfilter_average<4>(row, above, count);
        return true;
    case 4:
        if (step == 3) unfilter_paeth<3>(row, above, count);
        else unfilter_paeth<4>(row, above, count);
        return true;
    default: return false;
    }
}

// The pixels of an unfiltered row into the picture's row: alpha left out, red and blue swapped
// where the picture is B G R.
void put_row(uint8_t* __restrict target, const uint8_t* __restrict row, uint32_t width, size_t step, bool bgr)
{
    if (step == 3 && !bgr) {
        std::memcpy(target, row, size_t(width) * 3);
        return;
    }
    const size_t red = bgr ? 2 : 0, blue = bgr ? 0 : 2;
    for (uint32_t x = 0; x < width; ++x, row += step, target += 3) {
        target[red] = row[0];
        target[1] = row[1];
        target[blue] = row[2];
    }
}

// An inflating stream over its input: one span, or the chunks one after another. It inflates a
// block at a time (Z_BLOCK), so that after each step `state` tells whether it stopped at the end
// of a block, in the stream's last block, and how many bits of its last byte are left unread.
struct inflater {
    z_stream stream{};
    bool ready = false;
    bool ended = false;  // the stream's last block is done
    int state = 0;       // zlib's data_type after the last step that made progress
    const span* next;
    const span* end;

    inflater(int window_bits, const span* first, const span* last) : next(first), end(last)
    {
        ready = inflateInit2(&stream, window_bits) == Z_OK;
    }
    ~inflater()
    {
        if (ready) inflateEnd(&stream);
    }
    inflater(const inflater&) = delete;
    inflater& operator=(const inflater&) = delete;

    // More input when the stream has none left; false when there is no more.
    bool refill()
    {
        while (stream.avail_in == 0) {
            if (next == end) return false;
            // A chunk is below 2 GiB, so its length fits zlib's counter.
            stream.next_in = const_cast<Bytef*>(next->data);
            stream.avail_in = uInt(next->length);
            ++next;
        }
        return true;
    }

    // One step of inflating into next_out, with more input first where there is some (without
    // any, the stream may still hold output). False on an error or when no step can be made.
    bool step()
    {
        refill();
        const int result = inflate(&stream, Z_BLOCK);
        if (result != Z_OK && result != Z_STREAM_END) return false;
        ended = result == Z_STREAM_END;
        state = stream.data_type;
        return true;
    }

    // Exactly `length` bytes into `out`; false when the stream fails or ends before.
    bool take(uint8_t* out, size_t length)
    {
        stream.next_out = out;
        stream.avail_out = uInt(length);
        while (stream.avail_out > 0)
            if (ended || !step()) return false;
        return true;
    }

    // Whether nothing is left but the stream's end: no byte more of output, and the input used
    // up. A piece before the last must stop at the end of a block, on a byte boundary and not in
    // the stream's last block, so that the next piece's first byte is where a reader of the whole
    // stream would go on reading; the last piece, like a stream read in one pass, must end the
    // stream.
    bool ends_here(bool stream_end)
    {
        uint8_t spare;
        while (stream_end ? !ended : stream.avail_in > 0 || refill()) {
            stream.next_out = &spare;
            stream.avail_out = 1;
            if (!step() || stream.avail_out == 0) return false;  // a failure, or more image data
            if (ended && !stream_end) return false;
        }
        if (stream_end) return stream.avail_in == 0 && !refill();
        return !ended && (state & 128) != 0 && (state & 64) == 0 && (state & 63) == 0;
    }
};

// The rows of a picture as the file holds them, and where they go.
struct row_work {
    uint32_t width;
    size_t step;   // bytes of a pixel in the file: 3 or 4
    size_t count;  // bytes of a row in the file, without its filter type
    const pixel_rows* rows;
};

// Inflates, unfilters and puts rows [first, end); the row above the first is taken as zeros.
// `independent`: the first row must not need the row above it (it begins a piece). `adler`, when
// given, receives the Adler-32 of the filtered rows.
bool inflate_rows(const row_work& work, inflater& in, uint32_t first, uint32_t end, bool independent, uLong* adler)
{
    const size_t count = work.count;
    std::unique_ptr<uint8_t[]> buffers(new uint8_t[2 * (count + 1)]);
    uint8_t* row = buffers.get();
    uint8_t* above = row + count + 1;
    std::memset(above, 0, count + 1);
    for (uint32_t y = first; y < end; ++y) {
        if (!in.take(row, count + 1)) return false;
        if (adler) *adler = adler32_z(*adler, row, count + 1);
        if (y == first && independent && row[0] > 1) return false;
        if (!unfilter(row[0], row + 1, above + 1, count, work.step)) return false;
        put_row(work.rows->row(y), row + 1, work.width, work.step, work.rows->bgr);
        std::swap(row, above);
    }
    return true;
}

#ifdef VORN_LIBDEFLATE
constexpr size_t coder_header = 54;  // a coder file image's header, before its raster

// The data of the IDAT chunks as one run of bytes for libdeflate: the one chunk's data as it
// stands; several joined in the file itself where the caller lends it (each chunk's data moved
// down over the 12 bytes of CRC and header before it, which are kept aside, and everything put
// back as it was when this goes), else copied out.
class joined_data {
public:
    joined_data(const image_data& data, uint8_t* file_start, const uint8_t* file_view) : chunks_(data.chunks)
    {
        start_ = chunks_.front().data;
        length_ = chunks_.front().length;
        if (chunks_.size() == 1) return;
        if (!file_start) {
            for (const span& chunk : chunks_) copy_.insert(copy_.end(), chunk.data, chunk.data + chunk.length);
            start_ = copy_.data();
            length_ = copy_.size();
            return;
        }
        // The chunks lie in the lent file: their addresses within it are the view's.
        file_ = file_start;
        view_ = file_view;
        between_.resize(12 * (chunks_.size() - 1));
        for (size_t k = 1; k < chunks_.size(); ++k)
            std::memcpy(&between_[12 * (k - 1)], at(chunks_[k].data) - 12, 12);
        uint8_t* to = at(chunks_[0].data) + chunks_[0].length;
        for (size_t k = 1; k < chunks_.size(); ++k, to += chunks_[k - 1].length)
            std::memmove(to, chunks_[k].data, chunks_[k].length);
        start_ = chunks_[0].data;
        length_ = size_t(to - at(chunks_[0].data));
    }
    ~joined_data()
    {
        if (!file_) return;
        size_t offset = length_;
        for (size_t k = chunks_.size(); k-- > 1;) {
            offset -= chunks_[k].length;
            std::memmove(at(chunks_[k].data), at(chunks_[0].data) + offset, chunks_[k].length);
        }
        for (size_t k = 1; k < chunks_.size(); ++k)
            std::memcpy(at(chunks_[k].data) - 12, &between_[12 * (k - 1)], 12);
    }
    joined_data(const joined_data&) = delete;
    joined_data& operator=(const joined_data&) = delete;

    const uint8_t* data() const { return start_; }
    size_t size() const { return length_; }

private:
    uint8_t* at(const uint8_t* in_view) const { return file_ + (in_view - view_); }

    const std::vector<span>& chunks_;
    const uint8_t* start_;
    size_t length_;
    std::vector<uint8_t> copy_;
    uint8_t* file_ = nullptr;
    const uint8_t* view_ = nullptr;
    std::vector<uint8_t> between_;
};

struct decompressor_deleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Rows packed top-down, `count` bytes each from `first`, as a coder file image's raster: bottom-up,
// B G R, `stride` bytes each with the padding 0. In place: the rows swap ends, then spread out
// from the last.
void to_coder_rows(uint8_t* first, uint32_t width, uint32_t height, size_t count, size_t stride)
{
    for (uint32_t y = 0; y < height / 2; ++y) {
        uint8_t* top = first + size_t(y) * count;
        uint8_t* bottom = first + size_t(height - 1 - y) * count;
        for (size_t i = 0; i < count; i += 3) {
            const uint8_t r = top[i], g = top[i + 1], b = top[i + 2];
            top[i] = bottom[i + 2];
            top[i + 1] = bottom[i + 1];
            top[i + 2] = bottom[i];
            bottom[i] = b;
            bottom[i + 1] = g;
            bottom[i + 2] = r;
        }
    }
    if (height % 2) swap_red_blue(first + size_t(height / 2) * count, width);
    for (uint32_t y = height; stride > count && y-- > 0;) {
        std::memmove(first + size_t(y) * stride, first + size_t(y) * count, count);
        std::memset(first + size_t(y) * stride + count, 0, stride - count);
    }
}

// The image data inflated whole into the picture's memory (its room), each row then unfiltered
// and moved down onto the end of the row before it, without its filter type, and the rows laid
// out there as the picture's layout wants them. A coder file image whose pixels this leaves
// undone is cleared again, padding and all, for libspng to decode into.
bool inflated_in_place(const image_data& data, const row_work& work, uint32_t height, rgb_picture& picture,
                       uint8_t* lent_file, const uint8_t* file_view)
{
    const size_t count = work.count, raw = (count + 1) * size_t(height), pixels = size_t(work.width) * 3;
    const bool coder = picture.layout == pixel_layout::coder_image;
    const size_t length = picture.image.size();
    if (coder && length < coder_header + raw) picture.image.resize(coder_header + raw);
    uint8_t* memory = coder ? picture.image.data() + coder_header : picture.rgb.data();

    std::unique_ptr<libdeflate_decompressor, decompressor_deleter> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor) throw std::bad_alloc();
    bool good;
    {
        const joined_data in(data, lent_file, file_view);
        size_t used = 0;
        good = libdeflate_zlib_decompress_ex(decompressor.get(), in.data(), in.size(), memory, raw, &used, nullptr) ==
                   LIBDEFLATE_SUCCESS &&
               used == in.size();
    }
    const std::vector<uint8_t> zeros(good ? count : 0);
    for (uint32_t y = 0; good && y < height; ++y) {
        uint8_t* row = memory + size_t(y) * count;
        const uint8_t* filtered = memory + size_t(y) * (count + 1);
        const uint8_t type = filtered[0];  // within the row's new place, so read first
        std::memmove(row, filtered + 1, count);
        good = unfilter(type, row, y > 0 ? row - count : zeros.data(), count, work.step);
    }
    if (good && work.step == 4) {  // alpha left out: each pixel moves down onto the one before
        uint8_t* to = memory;
        for (const uint8_t* from = memory; from < memory + count * height; from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    if (coder) {
        const size_t stride = (length - coder_header) / height;
        if (good) to_coder_rows(memory, work.width, height, pixels, stride);
        picture.image.resize(length);
        if (!good) std::memset(memory, 0, length - coder_header);
    }
    return good;
}
#endif

bool read_in_one_pass(const image_data& data, const row_work& work, uint32_t height)
{
    inflater in(15, data.chunks.data(), data.chunks.data() + data.chunks.size());
    return in.ready && inflate_rows(work, in, 0, height, false, nullptr) && in.ends_here(true);
}

// The zlib header's check: deflate, a window of at most 32 KiB, no preset dictionary.
bool good_zlib_header(const uint8_t* header)
{
    return (header[0] & 0x0f) == 8 && (header[0] >> 4) <= 7 && (header[1] & 0x20) == 0 &&
           (unsigned(header[0]) << 8 | header[1]) % 31 == 0;
}

bool read_in_pieces(const image_data& data, const row_work& work, uint32_t height, unsigned threads)
{
    const uint32_t rows = data.piece_rows;
    const size_t count = data.chunks.size();
    if (rows == 0 || count != (uint64_t(height) + rows - 1) / rows) return false;
    if (data.chunks.front().length < 2 || !good_zlib_header(data.chunks.front().data)) return false;
    if (data.chunks.back().length < (count == 1 ? 6 : 4)) return false;
    std::vector<uLong> adlers(count, 1);
    std::atomic<bool> failed{false};
    run_parts(count, threads, [&](size_t which) {
        if (failed) return;
        const bool last = which + 1 == count;
        span own = data.chunks[which];
        if (which == 0) own = {own.data + 2, own.length - 2};
        if (last) own.length -= 4;
        inflater in(-15, &own, &own + 1);
        const uint32_t first = uint32_t(which * rows);
        const uint32_t end = uint32_t(std::min<uint64_t>(height, uint64_t(first) + rows));
        if (!in.ready || !inflate_rows(work, in, first, end, which > 0, &adlers[which]) || !in.ends_here(last))
            failed = true;
    });
    if (failed) return false;
    uLong adler = 1;
    for (size_t which = 0; which < count; ++which) {
        const uint32_t first = uint32_t(which * rows);
        const uint32_t end = uint32_t(std::min<uint64_t>(height, uint64_t(first) + rows));
        adler = adler32_combine(adler, adlers[which], z_off_t(uint64_t(end - first) * (work.count + 1)));
    }
    const span& last = data.chunks.back();
    return uint32_t(adler) == be32(last.data + last.length - 4);
}

}  // namespace

uint64_t png_read_room(uint32_t width, uint32_t height, int channels)
{
    return (uint64_t(width) * unsigned(channels) + 1) * height;
}

png_image_read read_png_image(const std::vector<uint8_t>& file, uint32_t width, uint32_t height, int channels,
                              rgb_picture& picture, unsigned threads, std::vector<uint8_t>* lent)
{
    if ((channels != 3 && channels != 4) || width == 0 || height == 0) return png_image_read::none;
    const uint64_t count = uint64_t(width) * unsigned(channels);
    // A row must fit zlib's counters and the z_off_t of an Adler-32's length.
    if (count >= (uint64_t(1) << 30)) return png_image_read::none;
    image_data data;
    if (!find_image_data(file, data)) return png_image_read::none;
    const pixel_rows rows = rows_of(picture);
    const row_work work{width, size_t(channels), size_t(count), &rows};
    try {
#ifdef VORN_LIBDEFLATE
        // On one thread, libdeflate inflates the whole stream sooner than zlib inflates its pieces.
        const bool whole_sooner = threads <= 1;
#else
        const bool whole_sooner = false;
#endif
        if (data.piece_rows && !whole_sooner && read_in_pieces(data, work, height, threads))
            return png_image_read::in_pieces;
#ifdef VORN_LIBDEFLATE
        const uint64_t room = png_read_room(width, height, channels);
        if (picture.layout == pixel_layout::coder_image ? picture.image.capacity() >= coder_header + room
                                                        : picture.rgb.capacity >= room)
            return inflated_in_place(data, work, height, picture, lent ? lent->data() : nullptr, file.data())
                       ? png_image_read::in_one_pass
                       : png_image_read::none;
#endif
        return read_in_one_pass(data, work, height) ? png_image_read::in_one_pass : png_image_read::none;
    } catch (const std::bad_alloc&) {
        return png_image_read::none;  // libspng tries with the memory it needs, and says so if there is none
    }
}
