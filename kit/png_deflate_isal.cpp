// PNG image data deflated and checksummed with ISA-L (libisal): its level 1 with a short history,
// which on vorn's filtered rows is about six times as fast as zlib's fastest for a few percent
// more bytes (measured by bench/png_settings.cpp).
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <memory>
#include <new>

#include "fault.h"
#include "png_deflate.h"

const char* png_deflater_name()
{
    return "ISA-L";
}

uint32_t png_crc32(uint32_t crc, const uint8_t* data, size_t length)
{
    return crc32_gzip_refl(crc, data, length);
}

uint32_t png_adler32(uint32_t adler, const uint8_t* data, size_t length)
{
    return isal_adler32(adler, data, length);
}

// Deflate with a 32 KiB window at the fastest level class; the check bits make the pair a
// multiple of 31. Readers size their window from it, and a shorter history needs no less.
void png_zlib_header(const png_settings&, uint8_t header[2])
{
    header[0] = 0x78;
    header[1] = 0x01;
}

// Stored blocks at worst: five bytes for every 64 KiB, a block header's worth more, the flush.
size_t png_deflate_bound(size_t length)
{
    return length + (length >> 13) + ISAL_DEF_MAX_HDR_SIZE + 64;
}

namespace {

// A thread's deflater, kept from one piece to the next: the stream's state and level 1's buffer
// are about half a MiB, which would otherwise be asked for and first touched for every piece.
struct deflater {
    isal_zstream stream;
    uint8_t level_buffer[ISAL_DEF_LVL1_DEFAULT];
};

[[noreturn]] void deflate_failed(const std::string& path, int error)
{
    raise_fault(kit::fault::output, path + ": cannot encode the PNG (ISA-L error " + std::to_string(error) + ")");
}

}  // namespace

size_t png_deflate_piece(const uint8_t* data, size_t length, bool last, const png_settings& settings, uint8_t* out,
                         const std::string& path)
{
    thread_local std::unique_ptr<deflater> kept;
    if (!kept) kept.reset(new deflater);
    isal_zstream& stream = kept->stream;
    // Initialised afresh for every piece, its hash table too, so that a piece's bytes do not
    // depend on what the thread deflated before.
    isal_deflate_init(&stream);
    stream.level = 1;
    stream.level_buf = kept->level_buffer;
    stream.level_buf_size = sizeof kept->level_buffer;
    stream.hist_bits = uint16_t(settings.history_bits);
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.flush = last ? NO_FLUSH : FULL_FLUSH;
    stream.end_of_stream = last ? 1 : 0;
    stream.next_out = out;
    stream.avail_out = uint32_t(png_deflate_bound(length));
    // A piece is at most one filtered row of 256 MiB or about 1 MiB of rows: 32-bit counts hold it.
    stream.next_in = const_cast<uint8_t*>(data);
    stream.avail_in = uint32_t(length);
    // Done when every byte is in and flushed to a block boundary, or the stream is finished.
    const auto done = [&stream, last] {
        const int state = stream.internal_state.state;
        return stream.avail_in == 0 &&
               (last ? state == ZSTATE_END : state == ZSTATE_NEW_HDR || state == ZSTATE_TMP_NEW_HDR);
    };
    while (!done()) {
        const uint32_t in = stream.avail_in, room = stream.avail_out;
        const int error = isal_deflate(&stream);
        if (error != COMP_OK) deflate_failed(path, error);
        // The bound is room enough: a call that moves nothing would never end.
        if (!done() && (stream.avail_out == 0 || (stream.avail_in == in && stream.avail_out == room)))
            deflate_failed(path, STATELESS_OVERFLOW);
    }
    return size_t(stream.next_out - out);
}
