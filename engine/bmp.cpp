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

vorn_error check_header(const uint8_t* image, size_t length, raster_geometry& geometry)
{
    if (length < bmp_min_header_length) return VORN_ERR_HEADER_TOO_SHORT;
    const bmp_header header = read_bmp_header(image);
    if (header.magic != bmp_magic) return VORN_ERR_NOT_BMP;
    if (header.bit_count != bmp_bit_count) return VORN_ERR_BIT_COUNT;
    if (header.width < 0 || header.height < 0) return VORN_ERR_NEGATIVE_SIZE;
    const int64_t stride = string_length(header.width);
    if (stride > max_string_length) return VORN_ERR_ROW_TOO_LONG;
    if (uint64_t(length) > bmp_max_length) return VORN_ERR_FILE_TOO_LONG;

    // Both factors are below 2^31, so the product and the sum stay far below 2^64.
    const uint64_t raster_end =
        uint64_t(uint32_t(header.offset_raster)) + uint64_t(header.height) * uint64_t(stride);
    if (raster_end > length) return VORN_ERR_RASTER_BEYOND_END;

    geometry = {uint32_t(length), uint32_t(header.offset_raster), uint32_t(header.width),
                uint32_t(header.height), uint32_t(stride)};
    return VORN_OK;
}

header_check check_main_header(const uint8_t* image, uint32_t length, raster_geometry& geometry)
{
    switch (check_header(image, length, geometry)) {
    case VORN_OK: return header_check::accepted;
    case VORN_ERR_RASTER_BEYOND_END: return header_check::corrupted;
    default: return header_check::not_supported;
    }
}

vorn_error hidden_difference(const uint8_t* image, size_t length, const raster_geometry& main)
{
    if (length != main.length) return VORN_ERR_LENGTH_DIFFERS;
    // The main picture is at least a header long, and so is anything of its length.
    const bmp_header header = read_bmp_header(image);
    if (header.magic != bmp_magic) return VORN_ERR_NOT_BMP;
    if (header.bit_count != bmp_bit_count) return VORN_ERR_BIT_COUNT;
    if (uint32_t(header.width) != main.width) return VORN_ERR_WIDTH_DIFFERS;
    if (uint32_t(header.height) != main.height) return VORN_ERR_HEIGHT_DIFFERS;
    if (uint32_t(header.offset_raster) != main.offset_raster) return VORN_ERR_OFFSET_DIFFERS;
    return VORN_OK;
}

vorn_error vorn_program_read_fields(const uint8_t* image, size_t length, vorn_program_fields* fields)
{
    if (!image || !fields) return VORN_ERR_ARGUMENT;
    if (length < bmp_fields_length) return VORN_ERR_HEADER_TOO_SHORT;
    fields->offset_raster = read_le32(image + 10);
    fields->width = read_le32(image + 18);
    fields->height = read_le32(image + 22);
    // Wraps in 32 bits, as the row length of a 32-bit program would.
    fields->string_length = int32_t(uint32_t(string_length(fields->width)));
    return VORN_OK;
}

vorn_error vorn_check_carrier(const uint8_t* image, size_t length, vorn_geometry* geometry)
{
    if (!image || !geometry) return VORN_ERR_ARGUMENT;
    return check_header(image, length, *geometry);
}

vorn_error vorn_check_hidden(const vorn_geometry* carrier, const uint8_t* image, size_t length)
{
    if (!carrier || !image) return VORN_ERR_ARGUMENT;
    return hidden_difference(image, length, *carrier);
}
