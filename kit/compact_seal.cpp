#include "compact_seal.h"

#include <sodium.h>

#include <cstring>
#include <new>

#include "compact_container.h"
#include "fault.h"
#include "picture_memory.h"

namespace {

constexpr size_t sealed_header_bytes = compact_header_bytes + compact_tag_bytes;
constexpr size_t data_bytes = 10;  // version, k, width, height
constexpr char keyless_text[] = "vornhold compact form without a password";

static_assert(compact_tag_bytes == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(VORN_COMPACT_KEY_BYTES == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);

void start_sodium()
{
    if (sodium_init() < 0) throw std::bad_alloc();
}

uint64_t colour_bytes_of(const vorn_geometry& g) { return uint64_t(g.width) * 3 * g.height; }

// The container's bytes at k: the fields after the lead, whole bytes only.
uint64_t container_bytes(const vorn_geometry& g, unsigned k)
{
    const uint64_t fields = colour_bytes_of(g);
    return fields < compact_lead_fields ? 0 : (fields - compact_lead_fields) * k / 8;
}

// The same with the last, partly used byte: what reading the fields after the lead gives.
uint64_t container_stream_bytes(const vorn_geometry& g, unsigned k)
{
    return ((colour_bytes_of(g) - compact_lead_fields) * k + 7) / 8;
}

size_t lead_bytes(unsigned k) { return size_t(compact_lead_fields) * k / 8; }

void nonce(uint8_t which, uint8_t (&out)[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES])
{
    std::memset(out, 0, sizeof out);
    out[0] = which;
}

void header_data(const vorn_geometry& g, unsigned k, uint8_t* data)
{
    data[0] = compact_format_version;
    data[1] = uint8_t(k);
    for (int i = 0; i < 4; ++i) {
        data[2 + i] = uint8_t(g.width >> (8 * i));
        data[6 + i] = uint8_t(g.height >> (8 * i));
    }
}

// The body's additional data: the header's and the hash of the lead and of the bits after the body.
void body_data(const vorn_geometry& g, unsigned k, const uint8_t* lead, const uint8_t* after, size_t after_length,
               uint8_t (&data)[data_bytes + crypto_generichash_BYTES])
{
    header_data(g, k, data);
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES);
    crypto_generichash_update(&state, lead, lead_bytes(k));
    crypto_generichash_update(&state, after, after_length);
    crypto_generichash_final(&state, data + data_bytes, crypto_generichash_BYTES);
}

// The fields of colour bytes first .. first + count - 1 at k.
std::vector<uint8_t> fields_of(const std::vector<uint8_t>& coded, unsigned k, uint64_t first, uint64_t count)
{
    const uint64_t length = (count * k + 7) / 8;
    if (length > SIZE_MAX) throw std::bad_alloc();
    std::vector<uint8_t> fields = large_buffer(size_t(length));
    if (vorn_compact_read(coded.data(), coded.size(), k, first, count, fields.data(), fields.size()) != VORN_OK)
        throw std::bad_alloc();  // the caller checked the picture and the range
    return fields;
}

}  // namespace

compact_key::~compact_key() { sodium_memzero(this, sizeof *this); }

void draw_salt(compact_key& key)
{
    start_sodium();
    randombytes_buf(key.salt, sizeof key.salt);
}

void derive_key(const std::string* password, compact_key& key)
{
    start_sodium();
    if (!password) {
        crypto_generichash(key.key, sizeof key.key, reinterpret_cast<const uint8_t*>(keyless_text),
                           sizeof keyless_text - 1, key.salt, sizeof key.salt);
        return;
    }
    if (vorn_compact_key(password->data(), password->size(), key.salt, key.key) != VORN_OK) throw std::bad_alloc();
}

uint64_t body_room(const vorn_geometry& g, unsigned k)
{
    const uint64_t container = container_bytes(g, k);
    const uint64_t overhead = sealed_header_bytes + compact_tag_bytes;
    return container < overhead ? 0 : container - overhead;
}

std::vector<uint8_t> sealed_stream(const vorn_geometry& g, unsigned k, const compact_key& key,
                                   const std::vector<uint8_t>& header, const std::vector<uint8_t>& body)
{
    start_sodium();
    if (header.size() != compact_header_bytes || body.size() > body_room(g, k))
        raise_fault(kit::fault::output, "the hidden pictures do not fit the carrier");  // planned to fit
    size_t length = 0;
    if (vorn_compact_stream_length(&g, k, &length) != VORN_OK) throw std::bad_alloc();
    std::vector<uint8_t> stream = large_buffer(length);
    randombytes_buf(stream.data(), stream.size());
    // Bits beyond the last field are not stored, and read back as 0.
    const uint64_t used_bits = colour_bytes_of(g) * k;
    if (used_bits % 8) stream.back() = uint8_t(stream.back() & (0xFF << (8 - used_bits % 8)));
    // The salt in bit 0 of the lead's fields: stream bit i k + k - 1.
    for (uint64_t i = 0; i < compact_lead_fields; ++i) {
        const uint64_t bit = i * k + k - 1;
        const uint8_t mask = uint8_t(0x80 >> (bit % 8));
        const bool set = key.salt[i / 8] >> (7 - i % 8) & 1;
        stream[bit / 8] = uint8_t(set ? stream[bit / 8] | mask : stream[bit / 8] & ~mask);
    }

    uint8_t* container = stream.data() + lead_bytes(k);
    uint8_t* sealed_body = container + sealed_header_bytes;
    const size_t after = sealed_header_bytes + body.size() + compact_tag_bytes;
    uint8_t npub[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
    uint8_t data[data_bytes + crypto_generichash_BYTES];
    header_data(g, k, data);
    nonce(1, npub);
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(container, container + compact_header_bytes, nullptr,
                                                        header.data(), header.size(), data, data_bytes, nullptr,
                                                        npub, key.key);
    body_data(g, k, stream.data(), container + after, size_t(container_stream_bytes(g, k)) - after, data);
    nonce(2, npub);
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(sealed_body, sealed_body + body.size(), nullptr, body.data(),
                                                        body.size(), data, sizeof data, nullptr, npub, key.key);
    return stream;
}

bool read_salt(const std::vector<uint8_t>& coded, compact_key& key)
{
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK || colour_bytes_of(g) < compact_lead_fields)
        return false;
    return vorn_compact_read(coded.data(), coded.size(), 1, 0, compact_lead_fields, key.salt, sizeof key.salt) ==
           VORN_OK;
}

unsigned open_header(const std::vector<uint8_t>& coded, const compact_key& key, std::vector<uint8_t>& header)
{
    start_sodium();
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK) return 0;
    header.assign(compact_header_bytes, 0);
    uint8_t npub[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
    nonce(1, npub);
    for (unsigned k = 1; k <= VORN_COMPACT_MAX_BITS; ++k) {
        if (body_room(g, k) == 0) continue;
        const std::vector<uint8_t> sealed = fields_of(coded, k, compact_lead_fields, (sealed_header_bytes * 8 + k - 1) / k);
        uint8_t data[data_bytes];
        header_data(g, k, data);
        if (crypto_aead_xchacha20poly1305_ietf_decrypt_detached(header.data(), nullptr, sealed.data(),
                                                                compact_header_bytes, sealed.data() + compact_header_bytes,
                                                                data, sizeof data, npub, key.key) == 0)
            return k;
    }
    return 0;
}

bool open_body(const std::vector<uint8_t>& coded, unsigned k, const compact_key& key, uint32_t body_length,
               std::vector<uint8_t>& body)
{
    start_sodium();
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK || body_length > body_room(g, k)) return false;
    const std::vector<uint8_t> lead = fields_of(coded, k, 0, compact_lead_fields);
    const std::vector<uint8_t> container =
        fields_of(coded, k, compact_lead_fields, colour_bytes_of(g) - compact_lead_fields);
    const size_t after = sealed_header_bytes + body_length + compact_tag_bytes;
    uint8_t data[data_bytes + crypto_generichash_BYTES];
    body_data(g, k, lead.data(), container.data() + after, container.size() - after, data);
    uint8_t npub[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
    nonce(2, npub);
    body = large_buffer(body_length);
    const uint8_t* sealed = container.data() + sealed_header_bytes;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt_detached(body.data(), nullptr, sealed, body_length,
                                                            sealed + body_length, data, sizeof data, npub,
                                                            key.key) != 0) {
        body.clear();
        return false;
    }
    return true;
}
