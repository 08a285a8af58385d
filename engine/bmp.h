// Uncompressed 24-bit BMP pictures, held as file images: the complete bytes of a file.
//
//   offset  size  field
//        0     2  magic "BM"
//       10     4  offset_raster  (signed, little-endian) file offset of the first raster byte
//       18     4  width          (signed) pixels per row
//       22     4  height         (signed) rows
//       28     2  bit count      (unsigned) must be 24
//
// Row r starts at offset_raster + r * string_length; pixel x of it is the three bytes at
// +3x, +3x+1, +3x+2. string_length = width*3 + (width AND 3), the row rounded up to 4 bytes.
// Every per-byte pass of the programs runs from offset_raster to the end of the file, so row
// padding and bytes after the last row take part too. No other header field is read.
#pragma once

#include <cstdint>

#include "vorn.h"

constexpr uint32_t bmp_min_header_length = 30;  // up to and including the bit count
constexpr uint32_t bmp_fields_length = 26;      // up to and including the height
// Offsets and lengths are 32-bit: a file of 4 GiB or more cannot be described.
constexpr uint64_t bmp_max_length = 0xFFFFFFFF;
constexpr uint16_t bmp_magic = 0x4D42;          // "BM" read little-endian
constexpr uint16_t bmp_bit_count = 24;

struct bmp_header {
    uint16_t magic;
    int32_t offset_raster;
    int32_t width;
    int32_t height;
    uint16_t bit_count;
};

// The geometry of an accepted picture, shared by every file of one run. All values are
// non-negative and offset_raster + height * string_length <= length holds without wrapping.
using raster_geometry = vorn_geometry;

// Everything here has internal linkage: the library's only global symbols are vorn.h's.
namespace {

inline int32_t read_le32(const uint8_t* bytes)
{
    const uint32_t value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                           uint32_t(bytes[3]) << 24;
    return int32_t(value);
}

inline uint16_t read_le16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

// Reads the five fields; the image must hold at least bmp_min_header_length bytes.
inline bmp_header read_bmp_header(const uint8_t* image)
{
    return {read_le16(image), read_le32(image + 10), read_le32(image + 18), read_le32(image + 22),
            read_le16(image + 28)};
}

// Bytes per raster row, in 64 bits so that no width can wrap it.
inline int64_t string_length(int32_t width) { return int64_t(width) * 3 + (width & 3); }

// Rows longer than this cannot be walked with 32-bit signed strides; no real picture comes near.
constexpr int64_t max_string_length = 0x7FFFFFFF;

// The test of a main picture, in file order, one error per field: shorter than the header,
// wrong magic, wrong bit count, a negative width or height, a row longer than 0x7FFFFFFF bytes,
// a file of 4 GiB or more; last, the raster (offset_raster taken unsigned, plus height rows)
// beyond the end of the file. On VORN_OK fills `geometry`.
inline vorn_error check_header(const uint8_t* image, size_t length, raster_geometry& geometry)
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

// The first difference of a hidden picture from the main picture: length, magic, bit count,
// width, height, offset_raster, in that order; VORN_OK when there is none.
inline vorn_error hidden_difference(const uint8_t* image, size_t length, const raster_geometry& main)
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

}  // namespace
