#include "synthetic_pictures.h"

#include <cmath>
#include <cstdio>

#include "vorn.h"

std::vector<uint8_t> synthetic_bmp(int32_t width, int32_t height, uint32_t seed)
{
    // The picture is made bottom row first, as a BMP stores it, so that the grain falls on the
    // same pixels whatever the size; the engine writes the file image.
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    uint32_t noise = seed * 747796405u + 2891336453u;
    const double fx = 6.283 / width * (1 + seed % 3), fy = 6.283 / height * (2 + seed % 5);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = rgb.data() + size_t(height - 1 - y) * size_t(width) * 3;
        for (int32_t x = 0; x < width; ++x) {
            const double shape = std::sin(x * fx + seed) * std::cos(y * fy) * 60 +
                                 std::sin((x + y) * fx * 0.37) * 30;
            for (int c = 0; c < 3; ++c) {  // blue, green, red
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                const double grain = double(noise % 17) - 8;
                const double base = 128 + (c - 1) * 25 + double(x + 2 * y) * 40 / (width + height);
                const long v = std::lround(base + shape + grain);
                row[3 * x + 2 - c] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    size_t length = 0;
    if (vorn_bmp_length(uint32_t(width), uint32_t(height), &length) != VORN_OK) return {};
    std::vector<uint8_t> image(length);
    vorn_bmp_from_rgb(rgb.data(), uint32_t(width), uint32_t(height), size_t(width) * 3, 3, image.data(),
                      image.size());
    return image;
}

void save(const std::string& path, const std::vector<uint8_t>& image)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::fwrite(image.data(), 1, image.size(), file);
    std::fclose(file);
}
