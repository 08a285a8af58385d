#include "bmp.h"

int32_t read_le32(const uint8_t* bytes)
{
    const uint32_t value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                           uint32_t(bytes[3]) << 24;
    return int32_t(value);
}

uint16_t read_le16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

bmp_header read_bmp_header(const uint8_t* image)
{
    return {read_le16(image), read_le32(image + 10), read_le32(image + 18), read_le32(image + 22),
            read_le16(image + 28)};
}

int64_t string_length(int32_t width) { return int64_t(width) * 3 + (width & 3); }

// Rows longer than this cannot be walked with 32-bit signed strides; no real picture comes near.
constexpr int64_t max_string_length = 0x7FFFFFFF;

header_check check_main_header(const uint8_t* image, uint32_t length, raster_geometry& geometry)
{
    if (length < bmp_min_header_length) return header_check::not_supported;
    const bmp_header header = read_bmp_header(image);
    if (header.magic != bmp_magic || header.bit_count != bmp_bit_count)
        return header_check::not_supported;
    if (header.width < 0 || header.height < 0) return header_check::not_supported;
    const int64_t stride = string_length(header.width);
    if (stride > max_string_length) return header_check::not_supported;

    // Both factors are below 2^31, so the product and the sum stay far below 2^64.
    const uint64_t raster_end =
        uint64_t(uint32_t(header.offset_raster)) + uint64_t(header.height) * uint64_t(stride);
    if (raster_end > length) return header_check::corrupted;

    geometry = {length, uint32_t(header.offset_raster), uint32_t(header.width),
                uint32_t(header.height), uint32_t(stride)};
    return header_check::accepted;
}

bool same_geometry(const uint8_t* image, uint32_t length, const raster_geometry& main)
{
    if (length != main.length) return false;
    const bmp_header header = read_bmp_header(image);
    return header.magic == bmp_magic && header.bit_count == bmp_bit_count &&
           uint32_t(header.width) == main.width && uint32_t(header.height) == main.height &&
           uint32_t(header.offset_raster) == main.offset_raster;
}
