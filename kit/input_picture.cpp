#include "input_picture.h"

#include <cstring>

#include "bmp_reader.h"
#include "fault.h"
#include "jpeg_reader.h"
#include "png_codec.h"

namespace {

// The first bytes of the formats vorn reads.
const char bmp_magic[] = "BM";
const char png_magic[] = "\x89PNG\r\n\x1a\n";
const char jpeg_magic[] = "\xff\xd8\xff";

bool starts_with(const std::vector<uint8_t>& file, const char* magic, size_t length)
{
    return file.size() >= length && std::memcmp(file.data(), magic, length) == 0;
}

// Names the formats vorn recognises but does not read, so that the message can say so.
std::string other_format(const std::vector<uint8_t>& file)
{
    if (starts_with(file, "GIF8", 4)) return "a GIF picture";
    if (starts_with(file, "RIFF", 4) && file.size() >= 12 && std::memcmp(&file[8], "WEBP", 4) == 0)
        return "a WebP picture";
    if (starts_with(file, "II*\0", 4) || starts_with(file, "MM\0*", 4)) return "a TIFF picture";
    return "";
}

}  // namespace

bool is_vorn_format(const std::vector<uint8_t>& file)
{
    return starts_with(file, bmp_magic, 2) || starts_with(file, png_magic, 8) ||
           starts_with(file, jpeg_magic, 3);
}

input_picture picture_from_file(std::vector<uint8_t> file, const std::string& path, picture_role role,
                                const read_limits& limits, unsigned threads)
{
    input_picture picture;
    picture.path = path;
    const pixel_layout layout = role == picture_role::stored ? pixel_layout::rgb : pixel_layout::coder_image;

    if (starts_with(file, bmp_magic, 2)) {
        if (vorn_check_carrier(file.data(), file.size(), &picture.geometry) == VORN_OK) {
            check_picture_cost(picture.geometry.width, picture.geometry.height, limits, path);
            picture.as_is = true;
            picture.file = std::move(file);
        } else {
            picture.pixels = read_bmp(file, path, limits, layout);
        }
    } else if (starts_with(file, png_magic, 8)) {
        picture.pixels = read_png(file, path, limits, layout, threads);
    } else if (starts_with(file, jpeg_magic, 3)) {
        if (role == picture_role::coded)
            raise_fault(kit::fault::input,
                        path + ": a JPEG cannot hold hidden bits (its compression changes the low bits), so "
                               "this picture looks changed: " + changed_advice());
        picture.pixels = read_jpeg(file, path, limits, layout);
    } else {
        const std::string format = other_format(file);
        raise_fault(kit::fault::input,
             path + ": " + (format.empty() ? "not a PNG, JPEG or BMP picture" : format + ", which vorn does not read") +
                 "; convert it to PNG first");
    }
    return picture;
}

std::vector<uint8_t> coder_image(input_picture& picture)
{
    if (picture.as_is) return std::move(picture.file);
    to_coder_image(picture.pixels, picture.path);
    return std::move(picture.pixels.image);
}

rgb_picture rgb_of(input_picture& picture)
{
    rgb_picture pixels;
    if (picture.as_is) {
        pixels.layout = pixel_layout::coder_image;
        pixels.image = std::move(picture.file);
    } else {
        pixels = std::move(picture.pixels);
    }
    to_rgb_layout(pixels);
    return pixels;
}
