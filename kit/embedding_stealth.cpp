// The stealth embedding: the frame is the sealed header and body alone, with no filler; every
// colour byte not chosen to change keeps its value exactly.
//
// The salt's 128 bits go into bit 0 of colour bytes 0 to 127 by +-1 changes where a bit differs.
// The other n = 3wh - 128 colour bytes are the elements, in the sequence drawn from the order key
// (BLAKE2b-256 keyed with the compact key of the 32 ASCII bytes order_context) as the parameter's
// layout says (stealth_order.h: 0 shuffled, which earlier writers wrote; 1 rows, which this one
// writes). The sealed header (56 bytes, fixed) is syndrome-trellis coded (stc.h, height
// stc_height) into the parities of the first stc_first_part_elements(n, 448) elements, the rest
// of the frame into the elements after them: the header gives the body's length, so a reader
// knows both parts' lengths. The changes are chosen against the carrier's own texture
// (stealth_cost.h) and go +1 or -1 as the order key's direction stream says (never out of
// 0..255); a reader needs neither.
#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "embedding.h"
#include "fault.h"
#include "keyed_order.h"
#include "picture_memory.h"
#include "side_by_side.h"
#include "stc.h"
#include "stealth_cost.h"
#include "stealth_lay.h"
#include "stealth_order.h"

namespace {

constexpr uint64_t header_part_bytes = 56;  // the sealed header: 40 bytes and its tag
constexpr uint64_t header_part_bits = header_part_bytes * 8;
constexpr char order_context[] = "vornhold stealth embedding order";
static_assert(sizeof order_context - 1 == 32, "the document gives the context's 32 bytes");

// The largest picture taken: element indexes and file offsets stay within uint32_t.
constexpr uint64_t most_colour_bytes = uint64_t(1) << 31;

uint64_t colour_bytes_of(const vorn_geometry& g) { return uint64_t(g.width) * 3 * g.height; }

uint64_t elements_of(const vorn_geometry& g)
{
    const uint64_t bytes = colour_bytes_of(g);
    return bytes <= compact_lead_fields || bytes > most_colour_bytes ? 0 : bytes - compact_lead_fields;
}

uint64_t header_elements(uint64_t n) { return stc_first_part_elements(n, header_part_bits); }

// The body part at one bit in two elements at most: beyond it nearly every element changes.
uint64_t room(const vorn_geometry& g, unsigned)
{
    const uint64_t n = elements_of(g);
    if (n == 0 || header_elements(n) < 2 * header_part_bits) return 0;
    return header_part_bytes + (n - header_elements(n)) / 16;
}

std::vector<uint8_t> frame(const vorn_geometry& g, unsigned parameter, const compact_key&, uint64_t sealed,
                           uint64_t& sealed_at)
{
    if (sealed > room(g, parameter) || sealed < header_part_bytes)
        raise_fault(kit::fault::output, "the hidden pictures do not fit the carrier");
    sealed_at = 0;
    return std::vector<uint8_t>(size_t(sealed), 0);
}

// The order key, wiped when it goes.
struct order_key {
    uint8_t bytes[keyed_order_key_bytes];
    explicit order_key(const compact_key& key)
    {
        if (sodium_init() < 0) throw std::bad_alloc();
        crypto_generichash(bytes, sizeof bytes, reinterpret_cast<const uint8_t*>(order_context),
                           sizeof order_context - 1, key.key, sizeof key.key);
    }
    order_key(const order_key&) = delete;
    order_key& operator=(const order_key&) = delete;
    ~order_key() { sodium_memzero(bytes, sizeof bytes); }
};

// Colour byte i's offset in the file image.
uint32_t file_offset(const vorn_geometry& g, uint64_t i)
{
    const uint64_t per_row = uint64_t(g.width) * 3;
    return uint32_t(g.offset_raster + i / per_row * g.string_length + i % per_row);
}

// Whether the rows hold no padding, so that the colour bytes run on as they stand in the image
// and are worked on in place rather than copied.
bool unpadded(const vorn_geometry& g) { return g.string_length == uint64_t(g.width) * 3; }

std::vector<uint8_t> colour_bytes(const std::vector<uint8_t>& image, const vorn_geometry& g)
{
    const size_t per_row = size_t(g.width) * 3;
    std::vector<uint8_t> bytes = large_buffer(size_t(colour_bytes_of(g)));
    for (uint32_t y = 0; y < g.height; ++y)
        std::memcpy(bytes.data() + y * per_row, image.data() + g.offset_raster + size_t(y) * g.string_length, per_row);
    return bytes;
}

// The elements' sequence in the parameter's layout.
stealth_order sequence(const order_key& key, uint64_t n, unsigned parameter)
{
    return parameter == stealth_rows ? stealth_rows_order(key.bytes, n, compact_lead_fields)
                                     : stealth_shuffled_order(key.bytes, n, compact_lead_fields);
}

void lay(std::vector<uint8_t>& carrier, unsigned parameter, const compact_key& key, const std::vector<uint8_t>& frame)
{
    vorn_geometry g;
    if (vorn_check_carrier(carrier.data(), carrier.size(), &g) != VORN_OK) throw std::bad_alloc();  // accepted
    const uint64_t n = elements_of(g), first = header_elements(n);
    if (frame.size() > room(g, parameter) || frame.size() < header_part_bytes)
        raise_fault(kit::fault::output, "the hidden pictures do not fit the carrier");
    const bool packed = unpadded(g);
    std::vector<uint8_t> copied;
    uint8_t* bytes = carrier.data() + g.offset_raster;
    if (!packed) {
        copied = colour_bytes(carrier, g);
        bytes = copied.data();
    }
    const order_key ordering(key);
    // The first layout's shuffle is one long serial chain: it runs beside the costs' filters.
    std::vector<float> costs;
    stealth_order elements;
    run_side_by_side({[&] { costs = stealth_costs(bytes, g.width, g.height, 0); },
                      [&] { elements = sequence(ordering, n, parameter); }});
    const std::vector<uint8_t> directions =
        keyed_stream(ordering.bytes, keyed_direction_nonce, size_t((colour_bytes_of(g) + 7) / 8));

    uint8_t wanted[compact_lead_fields];
    for (uint64_t i = 0; i < compact_lead_fields; ++i)
        wanted[i] = uint8_t((bytes[i] & ~1u) | (key.salt[i / 8] >> (7 - i % 8) & 1));
    const std::vector<uint8_t> lead = stealth_change(bytes, wanted, compact_lead_fields, directions.data());
    std::copy(lead.begin(), lead.end(), bytes);

    if (!stealth_lay(bytes, costs.data(), elements, 0, first, frame.data(), header_part_bits, directions.data(), 0) ||
        !stealth_lay(bytes, costs.data(), elements, first, n - first, frame.data() + header_part_bytes,
                     (frame.size() - header_part_bytes) * 8, directions.data(), 0))
        raise_fault(kit::fault::output, "the hidden pictures do not fit the carrier");
    if (packed) return;
    const size_t per_row = size_t(g.width) * 3;
    for (uint32_t y = 0; y < g.height; ++y)
        std::memcpy(carrier.data() + g.offset_raster + size_t(y) * g.string_length, bytes + y * per_row, per_row);
}

bool extent(const std::vector<uint8_t>& coded, unsigned parameter, const compact_key&, uint64_t& length,
            uint64_t& sealed_at)
{
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK || room(g, parameter) == 0) return false;
    length = room(g, parameter);
    sealed_at = 0;
    return true;
}

// The sealed header from the first elements alone (the shuffle's first swaps, the file's bytes
// in place); the whole frame from the whole sequence.
std::vector<uint8_t> read(const std::vector<uint8_t>& coded, unsigned parameter, const compact_key& key,
                          uint64_t first, uint64_t count)
{
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK || first + count > room(g, parameter) ||
        first + count < header_part_bytes)
        throw std::bad_alloc();  // extent() held, and the caller reads at least the header
    const uint64_t n = elements_of(g), elements = header_elements(n);
    const order_key ordering(key);
    std::vector<uint8_t> frame;
    if (first + count == header_part_bytes) {
        // The header's elements alone, read in place: the first layout's from the shuffle's first
        // swaps, which settle them.
        stealth_order head;
        if (parameter == stealth_rows) {
            head = sequence(ordering, n, parameter);
        } else {
            head.listed = keyed_order_tail(ordering.bytes, uint32_t(n), uint32_t(elements));
            for (uint32_t& at : head.listed) at += uint32_t(compact_lead_fields);
        }
        std::vector<uint32_t> offsets(static_cast<size_t>(elements));
        for (uint64_t t = 0; t < elements; ++t) offsets[size_t(t)] = file_offset(g, head.at(t));
        stealth_order in_file;
        in_file.listed = std::move(offsets);
        frame = stealth_read(coded.data(), in_file, 0, elements, header_part_bits, 1);
    } else {
        std::vector<uint8_t> copied;
        const uint8_t* bytes = coded.data() + g.offset_raster;
        if (!unpadded(g)) {
            copied = colour_bytes(coded, g);
            bytes = copied.data();
        }
        const stealth_order sequenced = sequence(ordering, n, parameter);
        frame = stealth_read(bytes, sequenced, 0, elements, header_part_bits, 0);
        const std::vector<uint8_t> body =
            stealth_read(bytes, sequenced, elements, n - elements, (first + count - header_part_bytes) * 8, 0);
        frame.insert(frame.end(), body.begin(), body.end());
    }
    return std::vector<uint8_t>(frame.begin() + long(first), frame.end());
}

}  // namespace

const embedding& stealth_embedding()
{
    static const embedding stealth = [] {
        embedding e;
        e.id = embedding_stealth;
        e.name = "stealth";
        e.least = stealth_shuffled;
        e.most = stealth_rows;
        e.filler = false;
        e.room = room;
        e.frame = frame;
        e.lay = lay;
        e.extent = extent;
        e.read = read;
        return e;
    }();
    return stealth;
}
