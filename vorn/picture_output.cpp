#include "picture_output.h"

#include "platform.h"


void note_reading(const input_picture& picture, std::ostream& err)
{
    if (!picture.as_is && picture.pixels.alpha_dropped)
        err << "vorn: " << picture.path << ": its transparency is dropped; only the colours are used\n";
}

std::vector<uint8_t> output_bytes(output_format format, std::vector<uint8_t>&& image,
                                  const std::string& path, const png_settings& settings)
{
    if (format == output_format::bmp) return std::move(image);
    std::vector<uint8_t> file = write_png_of_image(image.data(), image.size(), path, settings);
    image = std::vector<uint8_t>();  // its memory is needed no more
    return file;
}

int64_t steady_ms()
{
    return clock_ms();  // the programs' clock, which tests hold still
}
