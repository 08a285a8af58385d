#include "png_codec.h"

#include <spng.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <new>

#include "fault.h"
#include "png_pieces.h"
#include "vorn.h"

namespace {

struct context_deleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using context_ptr = std::unique_ptr<spng_ctx, context_deleter>;

[[noreturn]] void refuse(const std::string& path, int error)
{
    if (error == SPNG_EMEM) raise_fault(kit::fault::memory, path + ": not enough memory to decode it");
    raise_fault(kit::fault::input, path + ": not a readable PNG file (" + spng_strerror(error) + ")");
}

// 16-bit samples to 8 bits, rounded: v * 255 / 65535 to the nearest integer.
uint8_t to_8_bits(uint16_t sample)
{
    return uint8_t((uint32_t(sample) * 255 + 32767) / 65535);
}

// Whether `file_length` bytes can hold the picture `header` describes: deflate codes at most
// 258 bytes in 2 bits, so image data shrinks to no less than 1/1032 of itself. A header that
// promises more is refused before the picture's memory is taken (and cleared, for a coder file
// image): a few bytes cannot make vorn take and clear gigabytes.
bool file_can_hold(const spng_ihdr& header, size_t file_length)
{
    const int channels = header.color_type == SPNG_COLOR_TYPE_TRUECOLOR         ? 3
                         : header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ? 4
                         : header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ? 2
                                                                                : 1;
    // Within the picture limit, width x height is below 2^33: the product cannot wrap.
    const uint64_t image_bytes = uint64_t(header.width) * header.height * channels * header.bit_depth / 8;
    return image_bytes / 1032 <= file_length;
}

// Decodes every row of an 8-bit picture straight into its place. An interlaced picture's rows
// come back several times, a pass at a time, each filling in more of the row; libspng says which
// row comes next. The channels are put in the target's order once a row is complete.
int decode_rows(spng_ctx* context, const spng_ihdr& header, const pixel_rows& rows)
{
    int error = spng_decode_image(context, nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
    const size_t row_bytes = size_t(header.width) * 3;
    const bool interlaced = header.interlace_method != SPNG_INTERLACE_NONE;
    spng_row_info row;
    while (!error && !(error = spng_get_row_info(context, &row))) {
        uint8_t* target = rows.row(row.row_num);
        error = spng_decode_row(context, target, row_bytes);
        if ((!error || error == SPNG_EOI) && rows.bgr && !interlaced) swap_red_blue(target, header.width);
    }
    if (error != SPNG_EOI) return error;
    for (uint32_t y = 0; rows.bgr && interlaced && y < header.height; ++y) swap_red_blue(rows.row(y), header.width);
    return 0;
}

// libspng gives 16-bit samples only with alpha; they are rounded here, as converters do. Rows
// are decoded one at a time into a row of their own, an interlaced picture's all at once.
int decode_wide_rows(spng_ctx* context, const spng_ihdr& header, const pixel_rows& rows)
{
    const bool interlaced = header.interlace_method != SPNG_INTERLACE_NONE;
    const uint64_t samples = uint64_t(header.width) * 4 * (interlaced ? header.height : 1);
    if (samples > SIZE_MAX / 2) return SPNG_EOVERFLOW;  // as libspng's own sizing says
    const size_t row_samples = size_t(header.width) * 4;
    std::vector<uint16_t> wide(static_cast<size_t>(samples));
    int error = interlaced ? spng_decode_image(context, wide.data(), wide.size() * 2, SPNG_FMT_RGBA16, 0)
                           : spng_decode_image(context, nullptr, 0, SPNG_FMT_RGBA16, SPNG_DECODE_PROGRESSIVE);
    const uint32_t red = rows.bgr ? 2 : 0, blue = rows.bgr ? 0 : 2;
    for (uint32_t y = 0; !error && y < header.height; ++y) {
        const uint16_t* from = wide.data() + (interlaced ? size_t(y) * row_samples : 0);
        if (!interlaced) {
            error = spng_decode_row(context, wide.data(), row_samples * 2);
            if (error == SPNG_EOI && y + 1 == header.height) error = 0;  // the last row ends the image
            if (error) break;
        }
        uint8_t* target = rows.row(y);
        for (size_t x = 0; x < header.width; ++x, from += 4, target += 3) {
            target[red] = to_8_bits(from[0]);
            target[1] = to_8_bits(from[1]);
            target[blue] = to_8_bits(from[2]);
        }
    }
    return error;
}

}  // namespace

rgb_picture read_png(const std::vector<uint8_t>& file, const std::string& path, const read_limits& limits,
                     pixel_layout layout, unsigned threads)
{
    context_ptr context(spng_ctx_new(0));
    if (!context) raise_fault(kit::fault::memory, path + ": not enough memory to decode it");
    // The file is in memory already, so its own length bounds every chunk; what compressed text
    // and profiles may inflate to is bounded too, so that a small file cannot take gigabytes.
    int error = spng_set_png_buffer(context.get(), file.data(), file.size());
    if (!error) error = spng_set_chunk_limits(context.get(), file.size(), size_t(64) << 20);
    spng_ihdr header;
    if (!error) error = spng_get_ihdr(context.get(), &header);
    if (error) refuse(path, error);

    check_picture_cost(header.width, header.height, limits, path);
    if (!file_can_hold(header, file.size()))
        raise_fault(kit::fault::input, path + ": not a readable PNG file (its header promises more pixels than the file can hold)");
    rgb_picture picture;
    picture.layout = layout;
    size_picture(picture, header.width, header.height, limits, path);
    spng_trns transparency;
    picture.alpha_dropped = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                            header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                            spng_get_trns(context.get(), &transparency) == 0;
    const pixel_rows rows = rows_of(picture);
    // A file vorn wrote in pieces is read in pieces side by side where there are threads to share.
    const bool in_pieces = threads > 1 && header.bit_depth == 8 && header.color_type == SPNG_COLOR_TYPE_TRUECOLOR &&
                           header.interlace_method == SPNG_INTERLACE_NONE;
    if (in_pieces && read_png_in_pieces(file, header.width, header.height, rows, threads)) return picture;
    error = header.bit_depth == 16 ? decode_wide_rows(context.get(), header, rows)
                                   : decode_rows(context.get(), header, rows);
    if (error) refuse(path, error);
    return picture;
}

namespace {

// Where libspng's output goes: appended to `bytes`. A failure to grow is kept and reported as an
// I/O error, since no exception may cross libspng's frames.
struct png_sink {
    std::vector<uint8_t> bytes;
    bool out_of_memory = false;
};

int append(spng_ctx*, void* user, void* data, size_t length)
{
    png_sink& sink = *static_cast<png_sink*>(user);
    try {
        const uint8_t* from = static_cast<const uint8_t*>(data);
        sink.bytes.insert(sink.bytes.end(), from, from + length);
        return 0;
    } catch (const std::bad_alloc&) {
        sink.out_of_memory = true;
        return SPNG_IO_ERROR;
    }
}

}  // namespace

// Measured with vorn_png_settings on a 4096 x 4096 coded photograph and the two pictures decoded
// from it (bench/photographs.py; 40 settings each, median CPU time of 3 runs, to write and then
// to read back).
// A coded picture's low bits are noise, so searching for matches finds little: Huffman coding
// alone, after the up filter has turned the smooth high bits into small differences, was the
// fastest to write and to read (391 and 241 ms, 25,450,054 bytes). With the sub filter it is 5%
// smaller but slower both ways (433 and 314 ms), since undoing sub runs along the row byte after
// byte; run-length coding with sub took 484 and 271 ms, and level 1 without filters 845 and
// 403 ms for 28,496,388 bytes. Coded photographs with hidden picture 1 alone or none gave the
// same order; a flat drawing coded without hidden pictures, whose dithering repeats, is a third
// smaller at level 1.
// The decoded pictures hold four levels per colour, dithered: level 1 without filters was the
// fastest there within 5% of its size on both (359 and 170 ms); Huffman coding alone was faster
// on one but 88% larger on the other, run-length coding 23% larger (without filters) or slower
// (with the sub filter) on one of them.
const png_settings coded_png_settings{1, Z_HUFFMAN_ONLY, SPNG_FILTER_CHOICE_UP, 1};
const png_settings decoded_png_settings{1, Z_DEFAULT_STRATEGY, SPNG_FILTER_CHOICE_NONE, 8};
// Where ISA-L deflates (its level 1; the history limit weighed at 1, 4, 8, 12 and 15 bits, one
// thread's CPU to write): the coded picture with up and a history of 2 bytes, 64 ms for
// 25,592,187 bytes (longer histories were slower and no smaller); the decoded picture without
// filters and 256 bytes of history, 80 ms for 8,321,525 bytes (2 bytes: 101 ms, 39% larger);
// the reconstructed picture with up and 2 bytes, 94 ms for 19,665,846 bytes (16 bytes: 106 ms,
// 2% smaller).
// Reconstructed pictures are smooth: the up filter leaves small differences, which are packed
// fastest by Huffman coding alone (matches or runs add time and save little). On the two
// reconstructed from that photograph: 388 and 411 ms for 21,540,260 and 19,424,400 bytes, against
// 422 and 454 ms for 21,194,493 and 19,749,792 bytes coding runs only, and 876 and 629 ms for
// 35,750,066 and 27,095,487 bytes at level 1 without filters; read back in about the same time.
const png_settings reconstructed_png_settings{1, Z_HUFFMAN_ONLY, SPNG_FILTER_CHOICE_UP, 1};

namespace {

std::vector<uint8_t> write_png_with_libspng(uint32_t width, uint32_t height, const png_row_maker& make_row,
                                            const std::string& path, const png_settings& settings,
                                            const std::function<void(double)>& rows_done)
{
    context_ptr context(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!context) raise_fault(kit::fault::memory, path + ": not enough memory to encode it");
    png_sink sink;
    // Room for the file at its largest, taken once: pages that are never written are never
    // really used, and the output is never copied as it grows. Where that much cannot be had
    // (a 32-bit address space), the buffer grows as the file does instead.
    const uint64_t raw = (uint64_t(width) * 3 + 1) * height;
    try {
        if (raw <= SIZE_MAX / 2) sink.bytes.reserve(size_t(raw + raw / 8 + 65536));
    } catch (const std::bad_alloc&) {
    }
    prefer_huge_pages(sink.bytes.data(), sink.bytes.capacity());
    spng_ihdr header{};
    header.width = width;
    header.height = height;
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    int error = spng_set_png_stream(context.get(), append, &sink);
    if (!error) error = spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, settings.level);
    if (!error) error = spng_set_option(context.get(), SPNG_IMG_COMPRESSION_STRATEGY, settings.strategy);
    if (!error) error = spng_set_option(context.get(), SPNG_FILTER_CHOICE, settings.filters);
    if (!error) error = spng_set_ihdr(context.get(), &header);
    if (!error)
        error = spng_encode_image(context.get(), nullptr, 0, SPNG_FMT_PNG,
                                  SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    std::unique_ptr<uint8_t[]> row(new uint8_t[size_t(width) * 3]);
    for (uint32_t y = 0; !error && y < height; ++y) {
        error = spng_encode_row(context.get(), make_row(y, row.get()), size_t(width) * 3);
        if (error == SPNG_EOI && y + 1 == height) error = 0;  // the last row finishes the file
        // About a hundred reports over the picture, whatever its height.
        if (rows_done && (y + 1) % (height / 128 + 1) == 0) rows_done(double(y + 1) / height);
    }
    if (error) {
        if (error == SPNG_EMEM || sink.out_of_memory)
            raise_fault(kit::fault::memory, path + ": not enough memory to encode it");
        raise_fault(kit::fault::output, path + ": cannot encode the PNG (" + spng_strerror(error) + ")");
    }
    return std::move(sink.bytes);
}

}  // namespace

std::vector<uint8_t> write_png(uint32_t width, uint32_t height, const png_row_maker& make_row,
                               const std::string& path, const png_settings& settings,
                               const std::function<void(double)>& rows_done, unsigned threads)
{
    // One filter for every row is written in pieces, side by side; libspng writes the rest
    // (choosing filters row by row, for vorn_png_settings to weigh), and refuses what is no PNG.
    const bool one_filter = settings.filters == SPNG_FILTER_CHOICE_NONE || settings.filters == SPNG_FILTER_CHOICE_UP;
    if (one_filter && width > 0 && height > 0 && png_pieces_fit(width))
        return write_png_in_pieces(width, height, make_row, path, settings, threads, rows_done);
    return write_png_with_libspng(width, height, make_row, path, settings, rows_done);
}

std::vector<uint8_t> write_png(const rgb_picture& picture, const std::string& path, const png_settings& settings,
                               const std::function<void(double)>& rows_done, unsigned threads)
{
    const size_t row_bytes = size_t(picture.width) * 3;
    return write_png(
        picture.width, picture.height,
        [&picture, row_bytes](uint32_t y, uint8_t*) { return picture.rgb.data() + y * row_bytes; }, path, settings,
        rows_done, threads);
}

std::vector<uint8_t> write_png_of_image(const uint8_t* image, size_t length, const std::string& path,
                                        const png_settings& settings, const std::function<void(double)>& rows_done,
                                        unsigned threads)
{
    vorn_geometry frame;
    if (vorn_check_carrier(image, length, &frame) != VORN_OK)
        raise_fault(kit::fault::output, path + ": cannot encode the PNG (not a picture vorn codes)");
    // Rows are stored bottom-up as B G R.
    return write_png(
        frame.width, frame.height,
        [image, &frame](uint32_t y, uint8_t* row) {
            const uint8_t* from = image + frame.offset_raster + size_t(frame.height - 1 - y) * frame.string_length;
            for (size_t x = 0; x < size_t(frame.width) * 3; x += 3) {
                row[x] = from[x + 2];
                row[x + 1] = from[x + 1];
                row[x + 2] = from[x];
            }
            return static_cast<const uint8_t*>(row);
        },
        path, settings, rows_done, threads);
}
