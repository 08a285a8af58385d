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

int32_t read_le32(const uint8_t* bytes);
uint16_t read_le16(const uint8_t* bytes);

// Reads the five fields; the image must hold at least bmp_min_header_length bytes.
bmp_header read_bmp_header(const uint8_t* image);

// Bytes per raster row, in 64 bits so that no width can wrap it.
int64_t string_length(int32_t width);

enum class header_check { accepted, not_supported, corrupted };

// The test of a main picture, in file order, one error per field: shorter than the header,
// wrong magic, wrong bit count, a negative width or height, a row longer than 0x7FFFFFFF bytes,
// a file of 4 GiB or more; last, the raster (offset_raster taken unsigned, plus height rows)
// beyond the end of the file. On VORN_OK fills `geometry`.
vorn_error check_header(const uint8_t* image, size_t length, raster_geometry& geometry);

// The same, sorted into the coder's two messages: corrupted for a raster beyond the end, not
// supported for every other refusal.
header_check check_main_header(const uint8_t* image, uint32_t length, raster_geometry& geometry);

// The first difference of a hidden picture from the main picture: length, magic, bit count,
// width, height, offset_raster, in that order; VORN_OK when there is none.
vorn_error hidden_difference(const uint8_t* image, size_t length, const raster_geometry& main);

// Whether a hidden picture's file image may be used with the main picture.
inline bool same_geometry(const uint8_t* image, uint32_t length, const raster_geometry& main)
{
    return hidden_difference(image, length, main) == VORN_OK;
}
