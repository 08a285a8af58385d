#include "picture_output.h"

#include <chrono>

#include "png_codec.h"

void note_reading(const input_picture& picture, std::ostream& err)
{
    if (!picture.as_is && picture.pixels.alpha_dropped)
        err << "vorn: " << picture.path << ": its transparency is dropped; only the colours are used\n";
}

std::vector<uint8_t> output_bytes(output_format format, std::vector<uint8_t>&& image,
                                  const std::string& path)
{
    if (format == output_format::bmp) return std::move(image);
    vorn_geometry geometry;
    vorn_check_carrier(image.data(), image.size(), &geometry);
    rgb_picture pixels;
    pixels.width = geometry.width;
    pixels.height = geometry.height;
    pixels.rgb.allocate(size_t(geometry.width) * geometry.height * 3);
    vorn_bmp_to_rgb(image.data(), image.size(), pixels.rgb.data(), pixels.rgb.size());
    image = std::vector<uint8_t>();  // its memory is needed no more
    return write_png(pixels, path);
}

int64_t steady_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
