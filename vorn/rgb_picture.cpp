#include "rgb_picture.h"

#include "failure.h"
#include "vorn.h"

void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const std::string& path)
{
    if (width == 0 || height == 0) fail(exit_class::input, path + ": the picture holds no pixels");
    size_t bmp_length;
    if (vorn_bmp_length(width, height, &bmp_length) != VORN_OK)
        fail(exit_class::input, path + ": the picture is too large (" + std::to_string(width) +
                                    "x" + std::to_string(height) +
                                    "): as a 24-bit BMP it would reach 4 GiB; scale it down first");
    picture.width = width;
    picture.height = height;
    picture.rgb.allocate(size_t(width) * height * 3);
}
