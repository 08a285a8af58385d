#include "rgb_picture.h"

#include "failure.h"
#include "vorn.h"

void check_picture_cost(uint32_t width, uint32_t height, const read_limits& limits, const std::string& path)
{
    const uint64_t pixels = uint64_t(width) * height;
    if (pixels <= limits.max_pixels) return;
    const auto megapixels = [](uint64_t count) {
        return std::to_string((count + pixels_per_megapixel - 1) / pixels_per_megapixel);
    };
    std::string message = path + ": the picture is " + std::to_string(width) + "x" + std::to_string(height) +
                          " pixels (" + megapixels(pixels) + " megapixels), more than the " +
                          megapixels(limits.max_pixels) + " megapixels allowed";
    if (limits.option)
        message += std::string("; give ") + limits.option + " " + megapixels(pixels) + " to read it";
    fail(exit_class::input, message);
}

void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const read_limits& limits,
                  const std::string& path)
{
    if (width == 0 || height == 0) fail(exit_class::input, path + ": the picture holds no pixels");
    check_picture_cost(width, height, limits, path);
    size_t bmp_length;
    if (vorn_bmp_length(width, height, &bmp_length) != VORN_OK)
        fail(exit_class::input, path + ": the picture is too large (" + std::to_string(width) +
                                    "x" + std::to_string(height) +
                                    "): as a 24-bit BMP it would reach 4 GiB; scale it down first");
    picture.width = width;
    picture.height = height;
    picture.rgb.allocate(size_t(width) * height * 3);
}
