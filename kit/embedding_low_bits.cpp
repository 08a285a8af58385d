// The low-bits embedding: the frame is a stream laid into the k lowest bits of every colour byte
// (vorn.h's compact group lays and reads it), the carrier dithered to the 8 - k bits above.
//
// The frame: the lead, colour bytes 0 to 127 (16 k bytes of the stream), holds the salt in bit 0
// of each and, at k >= 2, the salt bit again in bit 1 (the mark that tells a decoder this is no
// keyed picture, whose bits 1 and 0 there are both random salt); its other bits random. From
// colour byte 128 on: the sealed bytes, then random bits to the end of the stream.
#include <sodium.h>

#include <algorithm>
#include <new>

#include "embedding.h"
#include "fault.h"
#include "picture_memory.h"

namespace {

uint64_t colour_bytes_of(const vorn_geometry& g) { return uint64_t(g.width) * 3 * g.height; }

uint64_t lead_bytes(unsigned k) { return compact_lead_fields * k / 8; }

uint64_t room(const vorn_geometry& g, unsigned k)
{
    const uint64_t fields = colour_bytes_of(g);
    return fields < compact_lead_fields ? 0 : (fields - compact_lead_fields) * k / 8;
}

// The whole stream's bytes: the last one may be partly used.
uint64_t stream_bytes(const vorn_geometry& g, unsigned k) { return (colour_bytes_of(g) * k + 7) / 8; }

void set_bit(std::vector<uint8_t>& stream, uint64_t bit, bool set)
{
    const uint8_t mask = uint8_t(0x80 >> (bit % 8));
    stream[size_t(bit / 8)] = uint8_t(set ? stream[size_t(bit / 8)] | mask : stream[size_t(bit / 8)] & ~mask);
}

std::vector<uint8_t> frame(const vorn_geometry& g, unsigned k, const compact_key& key, uint64_t sealed,
                           uint64_t& sealed_at)
{
    if (sealed > room(g, k)) raise_fault(kit::fault::output, "the hidden pictures do not fit the carrier");
    size_t length = 0;
    if (vorn_compact_stream_length(&g, k, &length) != VORN_OK || sodium_init() < 0) throw std::bad_alloc();
    std::vector<uint8_t> stream = large_buffer(length);
    randombytes_buf(stream.data(), stream.size());
    // Bits beyond the last field are not stored, and read back as 0.
    const uint64_t used_bits = colour_bytes_of(g) * k;
    if (used_bits % 8) stream.back() = uint8_t(stream.back() & (0xFF << (8 - used_bits % 8)));
    // Colour byte i's bit 0 is stream bit i k + k - 1, its bit 1 the one before.
    for (uint64_t i = 0; i < compact_lead_fields; ++i) {
        const bool bit = key.salt[i / 8] >> (7 - i % 8) & 1;
        set_bit(stream, i * k + k - 1, bit);
        if (k >= 2) set_bit(stream, i * k + k - 2, bit);
    }
    sealed_at = lead_bytes(k);
    return stream;
}

void lay(std::vector<uint8_t>& carrier, unsigned k, const compact_key&, const std::vector<uint8_t>& stream)
{
    std::vector<uint8_t> work = engine_work(vorn_compact_carrier_work_size, carrier);
    const vorn_error error =
        vorn_compact_carrier(carrier.data(), carrier.size(), k, stream.data(), stream.size(), work.data(), work.size());
    if (error != VORN_OK) raise_fault(kit::fault::input, vorn_strerror(error));
}

bool extent(const std::vector<uint8_t>& coded, unsigned k, const compact_key&, uint64_t& length, uint64_t& sealed_at)
{
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK || room(g, k) == 0) return false;
    length = stream_bytes(g, k);
    sealed_at = lead_bytes(k);
    return true;
}

// The stream's bytes from `first`: the fields of the colour bytes they lie in, moved up by the
// bits the first field holds before them.
std::vector<uint8_t> read(const std::vector<uint8_t>& coded, unsigned k, const compact_key&, uint64_t first,
                          uint64_t count)
{
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK) throw std::bad_alloc();  // extent() held
    const uint64_t first_field = first * 8 / k, end_field = std::min(((first + count) * 8 + k - 1) / k, colour_bytes_of(g));
    const unsigned skip = unsigned(first * 8 - first_field * k);
    const uint64_t fields = end_field - first_field, length = (fields * k + 7) / 8;
    if (length > SIZE_MAX - 1 || count > SIZE_MAX) throw std::bad_alloc();
    std::vector<uint8_t> bits = large_buffer(size_t(length) + 1);
    if (vorn_compact_read(coded.data(), coded.size(), k, first_field, fields, bits.data(), bits.size()) != VORN_OK)
        throw std::bad_alloc();  // the range is within the picture's
    if (skip == 0) {
        bits.resize(size_t(count));
        return bits;
    }
    std::vector<uint8_t> bytes = large_buffer(size_t(count));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(bits[i] << skip | bits[i + 1] >> (8 - skip));
    return bytes;
}

}  // namespace

const embedding& low_bits_embedding()
{
    static const embedding low_bits = [] {
        embedding e;
        e.id = embedding_low_bits;
        e.name = "low bits";
        e.least = 1;
        e.most = VORN_COMPACT_MAX_BITS;
        e.room = room;
        e.frame = frame;
        e.lay = lay;
        e.extent = extent;
        e.read = read;
        return e;
    }();
    return low_bits;
}
