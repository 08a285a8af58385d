// Pictures from elsewhere as the equivalent BMP file image, and a BMP's pixels back out.
#include <cstring>

#include "bmp.h"
#include "sizes.h"

namespace {

constexpr uint32_t header_length = 54;
constexpr uint32_t pixels_per_metre = 2835;  // 72 pixels per inch

void put_le32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

void put_le16(uint8_t* at, uint16_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

// The file length, in 64 bits; 0 when a field could not hold the picture.
uint64_t file_length(uint32_t width, uint32_t height)
{
    // Width and height are signed fields of the header.
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return 0;
    const uint64_t stride = uint64_t(string_length(int32_t(width)));
    const uint64_t length = header_length + stride * height;
    return stride > 0x7FFFFFFF || length > bmp_max_length ? 0 : length;
}

// The length for a caller of this system: it must fit its size_t as well as the header.
vorn_error checked_file_length(uint32_t width, uint32_t height, uint64_t& length)
{
    length = file_length(width, height);
    if (length == 0) return VORN_ERR_FILE_TOO_LONG;
    return size_fits(length) ? VORN_OK : VORN_ERR_SIZE_OVERFLOW;
}

}  // namespace

vorn_error vorn_bmp_length(uint32_t width, uint32_t height, size_t* length)
{
    if (!length) return VORN_ERR_ARGUMENT;
    uint64_t bytes = 0;
    if (const vorn_error error = checked_file_length(width, height, bytes)) return error;
    *length = size_t(bytes);
    return VORN_OK;
}

vorn_error vorn_bmp_from_rgb(const uint8_t* pixels, uint32_t width, uint32_t height, size_t row_bytes,
                             int channels, uint8_t* bmp, size_t bmp_length)
{
    if (!bmp || (channels != 3 && channels != 4)) return VORN_ERR_ARGUMENT;
    uint64_t length = 0;
    if (const vorn_error error = checked_file_length(width, height, length)) return error;
    if (uint64_t(row_bytes) < uint64_t(width) * uint64_t(channels)) return VORN_ERR_ARGUMENT;
    if (!pixels && width > 0 && height > 0) return VORN_ERR_ARGUMENT;
    if (bmp_length < length) return VORN_ERR_BUFFER_TOO_SMALL;

    const uint32_t stride = uint32_t(string_length(int32_t(width)));
    std::memset(bmp, 0, header_length);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put_le32(bmp + 2, uint32_t(length));
    put_le32(bmp + 10, header_length);
    put_le32(bmp + 14, 40);  // the size of the info header that follows
    put_le32(bmp + 18, width);
    put_le32(bmp + 22, height);
    put_le16(bmp + 26, 1);   // one plane
    put_le16(bmp + 28, 24);  // bits per pixel; compression (30) stays 0
    put_le32(bmp + 34, uint32_t(length - header_length));
    put_le32(bmp + 38, pixels_per_metre);
    put_le32(bmp + 42, pixels_per_metre);
    // Rows are stored bottom-up: the top row of the picture is the last row of the file. Rows
    // without pixels hold no bytes at all, however many the picture counts.
    for (uint32_t y = 0; width > 0 && y < height; ++y) {
        const uint8_t* from = pixels + size_t(height - 1 - y) * row_bytes;
        uint8_t* to = bmp + header_length + size_t(y) * stride;
        for (uint32_t x = 0; x < width; ++x, from += channels, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
        std::memset(to, 0, stride - size_t(width) * 3);
    }
    return VORN_OK;
}

vorn_error vorn_rgb_length(const vorn_geometry* geometry, size_t* length)
{
    if (!geometry) return VORN_ERR_ARGUMENT;
    return hand_out_size(uint64_t(geometry->width) * geometry->height * 3, length);
}

vorn_error vorn_bmp_to_rgb(const uint8_t* bmp, size_t length, uint8_t* rgb, size_t rgb_length)
{
    if (!bmp) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(bmp, length, g)) return error;
    // The raster lies inside a file held in memory, so its pixels fit in size_t.
    if (rgb_length < size_t(g.width) * g.height * 3) return VORN_ERR_BUFFER_TOO_SMALL;
    // A picture without pixels needs no room for them.
    if (!rgb && g.width > 0 && g.height > 0) return VORN_ERR_ARGUMENT;
    const size_t row = size_t(g.width) * 3;
    for (uint32_t y = 0; row > 0 && y < g.height; ++y) {
        const uint8_t* from = bmp + g.offset_raster + size_t(g.height - 1 - y) * g.string_length;
        uint8_t* to = rgb + size_t(y) * row;
        for (size_t x = 0; x < row; x += 3) {
            to[x] = from[x + 2];
            to[x + 1] = from[x + 1];
            to[x + 2] = from[x];
        }
    }
    return VORN_OK;
}
