#include "jpeg_writer.h"

#include <cstdlib>

#include "fault.h"
#include "jpeg_errors.h"
#include "vorn.h"

namespace {

// Holds only plain objects between setjmp and longjmp, as the jump requires. On success *out
// is libjpeg's buffer of *size bytes, which the caller frees with free().
bool encode(const uint8_t* image, const vorn_geometry& frame, uint8_t* row, jpeg_errors& errors,
            unsigned char** out, unsigned long* size)
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
    encoder.image_width = frame.width;
    encoder.image_height = frame.height;
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, 92, TRUE);
    for (int c = 0; c < 3; ++c) encoder.comp_info[c].h_samp_factor = encoder.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&encoder, TRUE);
    // Rows are stored bottom-up as B G R.
    while (encoder.next_scanline < encoder.image_height) {
        const uint8_t* from =
            image + frame.offset_raster + size_t(frame.height - 1 - encoder.next_scanline) * frame.string_length;
        for (size_t x = 0; x < size_t(frame.width) * 3; x += 3) {
            row[x] = from[x + 2];
            row[x + 1] = from[x + 1];
            row[x + 2] = from[x];
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&encoder, rows, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    return true;
}

}  // namespace

std::vector<uint8_t> write_jpeg_of_image(const std::vector<uint8_t>& image, const std::string& path)
{
    vorn_geometry frame;
    if (vorn_check_carrier(image.data(), image.size(), &frame) != VORN_OK || frame.width == 0 || frame.height == 0 ||
        frame.width > JPEG_MAX_DIMENSION || frame.height > JPEG_MAX_DIMENSION)
        raise_fault(kit::fault::output, path + ": cannot encode the JPEG (its sides reach past 65500 pixels)");
    std::vector<uint8_t> row(size_t(frame.width) * 3);
    jpeg_errors errors;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool encoded = encode(image.data(), frame, row.data(), errors, &out, &size);
    std::vector<uint8_t> file;
    if (encoded) file.assign(out, out + size);
    std::free(out);
    if (!encoded) raise_fault(kit::fault::output, path + ": cannot encode the JPEG (" + errors.text + ")");
    return file;
}
