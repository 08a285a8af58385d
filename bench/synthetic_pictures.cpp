#include "synthetic_pictures.h"

#include <cmath>
#include <cstdio>

namespace {

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> synthetic_bmp(int32_t width, int32_t height, uint32_t seed)
{
    const size_t stride = size_t(width) * 3 + (width & 3);
    const size_t length = 54 + stride * size_t(height);
    std::vector<uint8_t> image(length, 0);
    image[0] = 'B';
    image[1] = 'M';
    put32(image, 2, uint32_t(length));
    put32(image, 10, 54);
    put32(image, 14, 40);
    put32(image, 18, uint32_t(width));
    put32(image, 22, uint32_t(height));
    image[26] = 1;
    image[28] = 24;

    uint32_t noise = seed * 747796405u + 2891336453u;
    const double fx = 6.283 / width * (1 + seed % 3), fy = 6.283 / height * (2 + seed % 5);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = image.data() + 54 + size_t(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            const double shape = std::sin(x * fx + seed) * std::cos(y * fy) * 60 +
                                 std::sin((x + y) * fx * 0.37) * 30;
            for (int c = 0; c < 3; ++c) {
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                const double grain = double(noise % 17) - 8;
                const double base = 128 + (c - 1) * 25 + double(x + 2 * y) * 40 / (width + height);
                const long v = std::lround(base + shape + grain);
                row[3 * x + c] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    return image;
}

void save(const std::string& path, const std::vector<uint8_t>& image)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::fwrite(image.data(), 1, image.size(), file);
    std::fclose(file);
}
