#include "jpeg_writer.h"

#include <cstdlib>
#include <cstring>

#include "fault.h"
#include "jpeg_errors.h"
#include "vorn.h"

namespace {

// Makes row y (0 is the top) of a picture as R G B into `row`, from `source`.
using row_maker = void (*)(const void* source, uint32_t y, uint8_t* row);

// A coder file image's rows are stored bottom-up as B G R.
struct image_rows {
    const uint8_t* image;
    const vorn_geometry* frame;
};

void image_row(const void* source, uint32_t y, uint8_t* row)
{
    const image_rows& rows = *static_cast<const image_rows*>(source);
    const vorn_geometry& frame = *rows.frame;
    const uint8_t* from = rows.image + frame.offset_raster + size_t(frame.height - 1 - y) * frame.string_length;
    for (size_t x = 0; x < size_t(frame.width) * 3; x += 3) {
        row[x] = from[x + 2];
        row[x + 1] = from[x + 1];
        row[x + 2] = from[x];
    }
}

struct rgb_rows {
    const uint8_t* rgb;
    uint32_t width;
};

void rgb_row(const void* source, uint32_t y, uint8_t* row)
{
    const rgb_rows& rows = *static_cast<const rgb_rows*>(source);
    const size_t length = size_t(rows.width) * 3;
    std::memcpy(row, rows.rgb + size_t(y) * length, length);
}

// Holds only plain objects between setjmp and longjmp, as the jump requires. On success *out
// is libjpeg's buffer of *size bytes, which the caller frees with free(). No chroma subsampling;
// `optimize` asks for Huffman tables made for the picture (smaller, a little slower).
bool encode(uint32_t width, uint32_t height, int quality, bool optimize, row_maker make, const void* source,
            uint8_t* row, jpeg_errors& errors, unsigned char** out, unsigned long* size)
{
    jpeg_compress_struct encoder;
    encoder.err = jpeg_std_error(&errors.fields);
    errors.fields.error_exit = on_jpeg_fatal_error;
    errors.text[0] = 0;
    if (setjmp(errors.escape)) {
        jpeg_destroy_compress(&encoder);
        return false;
    }
    jpeg_create_compress(&encoder);
    jpeg_mem_dest(&encoder, out, size);
    encoder.image_width = width;
    encoder.image_height = height;
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, quality, TRUE);
    encoder.optimize_coding = optimize ? TRUE : FALSE;
    for (int c = 0; c < 3; ++c) encoder.comp_info[c].h_samp_factor = encoder.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        make(source, encoder.next_scanline, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&encoder, rows, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    return true;
}

// The JPEG of a width x height picture whose rows `make` makes, or an output fault naming `path`.
std::vector<uint8_t> jpeg_file(uint32_t width, uint32_t height, int quality, bool optimize, row_maker make,
                               const void* source, const std::string& path)
{
    std::vector<uint8_t> row(size_t(width) * 3);
    jpeg_errors errors;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool encoded = encode(width, height, quality, optimize, make, source, row.data(), errors, &out, &size);
    std::vector<uint8_t> file;
    if (encoded) file.assign(out, out + size);
    std::free(out);
    if (!encoded) raise_fault(kit::fault::output, path + ": cannot encode the JPEG (" + errors.text + ")");
    return file;
}

}  // namespace

std::vector<uint8_t> write_jpeg_of_image(const std::vector<uint8_t>& image, const std::string& path)
{
    vorn_geometry frame;
    if (vorn_check_carrier(image.data(), image.size(), &frame) != VORN_OK || frame.width == 0 || frame.height == 0 ||
        frame.width > JPEG_MAX_DIMENSION || frame.height > JPEG_MAX_DIMENSION)
        raise_fault(kit::fault::output, path + ": cannot encode the JPEG (its sides reach past 65500 pixels)");
    const image_rows rows{image.data(), &frame};
    return jpeg_file(frame.width, frame.height, 92, false, image_row, &rows, path);
}

std::vector<uint8_t> write_jpeg_of_rgb(const uint8_t* rgb, uint32_t width, uint32_t height, int quality)
{
    if (width == 0 || height == 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        raise_fault(kit::fault::output, "cannot encode the JPEG (its sides reach past 65500 pixels)");
    const rgb_rows rows{rgb, width};
    return jpeg_file(width, height, quality, true, rgb_row, &rows, "a hidden picture");
}
