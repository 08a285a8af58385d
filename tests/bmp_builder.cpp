#include "bmp_builder.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

void put_le32(bytes& file, size_t offset, uint32_t value)
{
    for (int b = 0; b < 4; ++b) file[offset + b] = uint8_t(value >> (8 * b));
}

void put_le16(bytes& file, size_t offset, uint16_t value)
{
    file[offset] = uint8_t(value);
    file[offset + 1] = uint8_t(value >> 8);
}

static bytes bmp_header_only(int32_t width, int32_t height, uint32_t length)
{
    bytes file(length, 0);
    file[0] = 'B';
    file[1] = 'M';
    put_le32(file, 2, length);
    put_le32(file, 10, 54);
    put_le32(file, 14, 40);
    put_le32(file, 18, uint32_t(width));
    put_le32(file, 22, uint32_t(height));
    put_le16(file, 26, 1);
    put_le16(file, 28, 24);
    return file;
}

static uint32_t raster_length(int32_t width, int32_t height)
{
    return uint32_t(height) * uint32_t(width * 3 + (width & 3));
}

bytes bmp_file(int32_t width, int32_t height, uint8_t fill, uint32_t trailing)
{
    bytes file = bmp_header_only(width, height, 54 + raster_length(width, height) + trailing);
    std::fill(file.begin() + 54, file.end(), fill);
    return file;
}

bytes bmp_noise(int32_t width, int32_t height, uint32_t seed, uint32_t trailing)
{
    bytes file = bmp_header_only(width, height, 54 + raster_length(width, height) + trailing);
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 54; i < file.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        file[i] = uint8_t(state >> 11);
    }
    return file;
}

void write_file(const fs::path& path, const bytes& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
}

bytes read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

