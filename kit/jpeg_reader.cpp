#include "jpeg_reader.h"

#include "exif_orientation.h"

#include "fault.h"
#include "jpeg_errors.h"

namespace {

using error_manager = jpeg_errors;
const auto on_fatal_error = on_jpeg_fatal_error;

// Warnings (a truncated file, for example) are not fatal to libjpeg but would hide data loss:
// they are treated as errors.
void on_warning(j_common_ptr decoder, int level)
{
    if (level < 0) on_fatal_error(decoder);
}

enum class jpeg_outcome { decoded, failed, cmyk, sized };

// Holds only plain objects between setjmp and longjmp, as the jump requires. The picture's
// buffer is sized by `size`, called once the header is known.
jpeg_outcome decode_into(const std::vector<uint8_t>& file, rgb_picture& picture,
                         error_manager& errors, const read_limits& limits, const std::string& path)
{
    jpeg_decompress_struct decoder;
    decoder.err = jpeg_std_error(&errors.fields);
    errors.fields.error_exit = on_fatal_error;
    errors.fields.emit_message = on_warning;
    errors.text[0] = 0;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&decoder);
        return jpeg_outcome::failed;
    }
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&decoder, TRUE);
    if (decoder.jpeg_color_space == JCS_CMYK || decoder.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&decoder);
        return jpeg_outcome::cmyk;
    }
    if (picture.width == 0) {
        // Sized from the header, before the decoder allocates its buffers (a progressive file's
        // hold the whole picture). The size check fails by exception, which must not cross
        // libjpeg's frames: leave first.
        const uint32_t width = decoder.image_width, height = decoder.image_height;
        jpeg_destroy_decompress(&decoder);
        size_picture(picture, width, height, limits, path);
        return jpeg_outcome::sized;  // sized now: the caller decodes again
    }
    // The library gives the channels in the order the picture's layout keeps them.
    const pixel_rows rows = rows_of(picture);
    decoder.out_color_space = rows.bgr ? JCS_EXT_BGR : JCS_RGB;
    jpeg_start_decompress(&decoder);
    if (decoder.output_width != picture.width || decoder.output_height != picture.height) {
        std::snprintf(errors.text, sizeof errors.text, "its size changed as it was decoded");
        jpeg_destroy_decompress(&decoder);
        return jpeg_outcome::failed;
    }
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = rows.row(decoder.output_scanline);
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    return jpeg_outcome::decoded;
}

}  // namespace

rgb_picture read_jpeg(const std::vector<uint8_t>& file, const std::string& path, const read_limits& limits,
                      pixel_layout layout)
{
    // A picture to turn is decoded as packed rows, turned, and only then laid out as asked.
    const int orientation = exif_orientation(file);
    const bool upright = orientation < 2 || orientation > 8;
    rgb_picture picture;
    picture.layout = upright ? layout : pixel_layout::rgb;
    error_manager errors;
    jpeg_outcome outcome = decode_into(file, picture, errors, limits, path);
    if (outcome == jpeg_outcome::sized) outcome = decode_into(file, picture, errors, limits, path);
    if (outcome == jpeg_outcome::cmyk)
        raise_fault(kit::fault::input, path + ": a CMYK JPEG; save it as an RGB picture first");
    if (outcome != jpeg_outcome::decoded)
        raise_fault(kit::fault::input, path + ": not a readable JPEG file (" + errors.text + ")");
    // A photograph is shown upright, as its camera's orientation tag says.
    if (!upright) {
        turn_upright(picture, orientation);
        if (layout == pixel_layout::coder_image) to_coder_image(picture, path);
    }
    return picture;
}
