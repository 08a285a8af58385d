// Deflating and checksumming PNG image data for vorn's writer and reader: ISA-L (libisal) where
// the build has it, several times faster on these bytes, and zlib elsewhere (the page and
// 32-bit builds). Either gives a stream every inflater reads to the same pixels; only the size of
// the compressed bytes differs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "png_codec.h"

// Whether this build deflates with ISA-L ("ISA-L") or zlib ("zlib"), for the benchmarks' notes.
const char* png_deflater_name();

// The CRC-32 of PNG chunks and the Adler-32 of zlib streams, continued from `crc` or `adler`
// (0 and 1 begin them), as zlib's crc32() and adler32() give them.
uint32_t png_crc32(uint32_t crc, const uint8_t* data, size_t length);
uint32_t png_adler32(uint32_t adler, const uint8_t* data, size_t length);

// The two bytes that begin the zlib stream of image data deflated with `settings`.
void png_zlib_header(const png_settings& settings, uint8_t header[2]);

// The most bytes png_deflate_piece() writes for `length` bytes.
size_t png_deflate_bound(size_t length);

// Deflates `length` bytes (a piece's filtered rows) into `out`, which has room for
// png_deflate_bound(length) bytes, as raw deflate data and returns how many bytes it wrote. The
// data ends with a full flush (byte aligned, no reference to earlier bytes) or, when `last`, with
// the stream's final block. The bytes depend only on the input and the settings, never on the
// thread or on pieces deflated before. Fails with kit::fault::output naming `path`, or
// std::bad_alloc.
size_t png_deflate_piece(const uint8_t* data, size_t length, bool last, const png_settings& settings, uint8_t* out,
                         const std::string& path);
