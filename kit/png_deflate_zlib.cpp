// PNG image data deflated and checksummed with zlib: the build's choice where ISA-L is not there.
#include <zlib.h>

#include <new>

#include "fault.h"
#include "png_deflate.h"

const char* png_deflater_name()
{
    return "zlib";
}

uint32_t png_crc32(uint32_t crc, const uint8_t* data, size_t length)
{
    return uint32_t(crc32_z(crc, data, length));
}

uint32_t png_adler32(uint32_t adler, const uint8_t* data, size_t length)
{
    return uint32_t(adler32_z(adler, data, length));
}

// The header zlib itself writes for these settings: deflate with a 32 KiB window, the level class
// in FLEVEL, and check bits that make the pair a multiple of 31.
void png_zlib_header(const png_settings& settings, uint8_t header[2])
{
    const int level = settings.level == Z_DEFAULT_COMPRESSION ? 6 : settings.level;
    const unsigned level_class = settings.strategy >= Z_HUFFMAN_ONLY || level < 2 ? 0
                                 : level < 6                                       ? 1
                                 : level == 6                                      ? 2
                                                                                   : 3;
    unsigned bytes = (0x78u << 8) | (level_class << 6);
    bytes += 31 - bytes % 31;
    header[0] = uint8_t(bytes >> 8);
    header[1] = uint8_t(bytes);
}

// zlib's own bound for any level and strategy (deflateBound's for stored blocks, the largest),
// and the full flush's empty stored block.
size_t png_deflate_bound(size_t length)
{
    return length + (length >> 12) + (length >> 14) + (length >> 25) + 13 + 5 + 64;
}

namespace {

[[noreturn]] void deflate_failed(const std::string& path, int error)
{
    if (error == Z_MEM_ERROR) throw std::bad_alloc();
    raise_fault(kit::fault::output, path + ": cannot encode the PNG (zlib error " + std::to_string(error) + ")");
}

struct deflate_stream {
    z_stream stream{};
    deflate_stream(const png_settings& settings, const std::string& path)
    {
        const int error = deflateInit2(&stream, settings.level, Z_DEFLATED, -15, 8, settings.strategy);
        if (error != Z_OK) deflate_failed(path, error);
    }
    ~deflate_stream() { deflateEnd(&stream); }
    deflate_stream(const deflate_stream&) = delete;
    deflate_stream& operator=(const deflate_stream&) = delete;
};

}  // namespace

size_t png_deflate_piece(const uint8_t* data, size_t length, bool last, const png_settings& settings, uint8_t* out,
                         const std::string& path)
{
    deflate_stream deflater(settings, path);
    z_stream& stream = deflater.stream;
    // A piece is at most one filtered row of 256 MiB or about 1 MiB of rows, so zlib's 32-bit
    // counts hold it, and the bound leaves it room to finish in one call.
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = uInt(length);
    stream.next_out = out;
    stream.avail_out = uInt(png_deflate_bound(length));
    const int error = deflate(&stream, last ? Z_FINISH : Z_FULL_FLUSH);
    if (error != (last ? Z_STREAM_END : Z_OK) || stream.avail_in != 0) deflate_failed(path, error);
    return size_t(stream.next_out - out);
}
