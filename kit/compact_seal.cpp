#include "compact_seal.h"

#include <sodium.h>

#include <cstring>
#include <new>

#include "compact_container.h"
#include "compact_steps.h"
#include "embedding.h"
#include "fault.h"
#include "picture_memory.h"

namespace {

constexpr size_t sealed_header_bytes = compact_header_bytes + compact_tag_bytes;
constexpr size_t most_data_bytes = 11;  // version, embedding, parameter, width, height
constexpr char keyless_text[] = "vornhold compact form without a password";

static_assert(compact_tag_bytes == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(VORN_COMPACT_KEY_BYTES == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);

void start_sodium()
{
    if (sodium_init() < 0) throw std::bad_alloc();
}

void nonce(uint8_t which, uint8_t (&out)[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES])
{
    std::memset(out, 0, sizeof out);
    out[0] = which;
}

// The header's additional data; its length. Version 2: 2, the embedding, its parameter, width and
// height; version 1 (the low bits only): 1, k, width and height.
struct additional_data {
    uint8_t bytes[most_data_bytes + crypto_generichash_BYTES] = {};
    size_t length = 0;
};

additional_data header_data(uint8_t version, const embedding& e, unsigned parameter, const vorn_geometry& g)
{
    additional_data data;
    data.bytes[data.length++] = version;
    if (version != 1) data.bytes[data.length++] = e.id;
    data.bytes[data.length++] = uint8_t(parameter);
    for (int i = 0; i < 4; ++i) data.bytes[data.length + size_t(i)] = uint8_t(g.width >> (8 * i));
    for (int i = 0; i < 4; ++i) data.bytes[data.length + 4 + size_t(i)] = uint8_t(g.height >> (8 * i));
    data.length += 8;
    return data;
}

// The body's: the header's, then the BLAKE2b-256 hash of the frame's bytes around the sealed ones.
additional_data body_data(uint8_t version, const embedding& e, unsigned parameter, const vorn_geometry& g,
                          const std::vector<uint8_t>& frame, uint64_t sealed_at, uint64_t sealed)
{
    additional_data data = header_data(version, e, parameter, g);
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES);
    crypto_generichash_update(&state, frame.data(), size_t(sealed_at));
    crypto_generichash_update(&state, frame.data() + sealed_at + sealed, size_t(frame.size() - sealed_at - sealed));
    crypto_generichash_final(&state, data.bytes + data.length, crypto_generichash_BYTES);
    data.length += crypto_generichash_BYTES;
    return data;
}

bool geometry_of(const std::vector<uint8_t>& coded, vorn_geometry& g)
{
    return vorn_check_carrier(coded.data(), coded.size(), &g) == VORN_OK;
}

}  // namespace

compact_key::~compact_key() { sodium_memzero(this, sizeof *this); }

void wipe_bytes(std::vector<uint8_t>& bytes) { sodium_memzero(bytes.data(), bytes.size()); }

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

uint64_t body_room(const embedding& e, const vorn_geometry& g, unsigned parameter)
{
    const uint64_t room = e.room(g, parameter);
    const uint64_t overhead = sealed_header_bytes + compact_tag_bytes;
    return room < overhead ? 0 : room - overhead;
}

std::vector<uint8_t> sealed_frame(const embedding& e, unsigned parameter, const vorn_geometry& g,
                                  const compact_key& key, const std::vector<uint8_t>& header,
                                  const std::vector<uint8_t>& body)
{
    start_sodium();
    if (header.size() != compact_header_bytes || body.size() > body_room(e, g, parameter))
        raise_fault(kit::fault::output, "the hidden pictures do not fit the carrier");  // planned to fit
    const uint64_t sealed = sealed_header_bytes + body.size() + compact_tag_bytes;
    uint64_t at = 0;
    std::vector<uint8_t> frame = e.frame(g, parameter, key, sealed, at);
    uint8_t* sealed_header = frame.data() + at;
    uint8_t* sealed_body = sealed_header + sealed_header_bytes;
    uint8_t npub[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
    const additional_data head = header_data(compact_format_version, e, parameter, g);
    nonce(1, npub);
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(sealed_header, sealed_header + compact_header_bytes, nullptr,
                                                        header.data(), header.size(), head.bytes, head.length, nullptr,
                                                        npub, key.key);
    const additional_data data = body_data(compact_format_version, e, parameter, g, frame, at, sealed);
    nonce(2, npub);
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(sealed_body, sealed_body + body.size(), nullptr, body.data(),
                                                        body.size(), data.bytes, data.length, nullptr, npub, key.key);
    return frame;
}

bool read_salt(const std::vector<uint8_t>& coded, compact_key& key)
{
    vorn_geometry g;
    if (!geometry_of(coded, g) || uint64_t(g.width) * 3 * g.height < compact_lead_fields) return false;
    return vorn_compact_read(coded.data(), coded.size(), 1, 0, compact_lead_fields, key.salt, sizeof key.salt) ==
           VORN_OK;
}

bool carries_compact_mark(const std::vector<uint8_t>& coded)
{
    uint8_t fields[16];  // 64 colour bytes at 2 bits
    if (vorn_compact_read(coded.data(), coded.size(), 2, 0, 64, fields, sizeof fields) != VORN_OK) return false;
    for (const uint8_t four : fields)
        if (((four >> 1 ^ four) & 0x55) != 0) return false;
    return true;
}

bool open_header(const std::vector<uint8_t>& coded, const compact_key& key, opened_header& opened)
{
    start_sodium();
    opened = opened_header();
    vorn_geometry g;
    if (!geometry_of(coded, g)) return false;
    std::vector<uint8_t> header(compact_header_bytes, 0);
    uint8_t npub[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
    nonce(1, npub);
    // Each embedding's parameters from the most down: the stealth embedding's newest layout is
    // the one a picture most likely has, and its older one costs the longest try.
    for (const embedding* e : embeddings())
        for (unsigned parameter = e->most + 1; parameter-- > e->least;) {
            uint64_t length = 0, at = 0;
            if (body_room(*e, g, parameter) == 0 || !e->extent(coded, parameter, key, length, at) ||
                at > length || length - at < sealed_header_bytes)
                continue;
            const std::vector<uint8_t> sealed = e->read(coded, parameter, key, at, sealed_header_bytes);
            for (const uint8_t version : {compact_format_version, uint8_t(1)}) {
                if (version == 1 && e->id != embedding_low_bits) continue;
                const additional_data data = header_data(version, *e, parameter, g);
                if (crypto_aead_xchacha20poly1305_ietf_decrypt_detached(
                        header.data(), nullptr, sealed.data(), compact_header_bytes,
                        sealed.data() + compact_header_bytes, data.bytes, data.length, npub, key.key) == 0) {
                    opened = {e, parameter, version, std::move(header)};
                    return true;
                }
            }
        }
    return false;
}

bool open_body(const std::vector<uint8_t>& coded, const opened_header& opened, const compact_key& key,
               uint32_t body_length, std::vector<uint8_t>& body)
{
    start_sodium();
    vorn_geometry g;
    uint64_t length = 0, at = 0;
    const embedding& e = *opened.laid;
    const uint64_t sealed = sealed_header_bytes + uint64_t(body_length) + compact_tag_bytes;
    if (!geometry_of(coded, g) || body_length > body_room(e, g, opened.parameter) ||
        !e.extent(coded, opened.parameter, key, length, at) || at > length || length - at < sealed)
        return false;
    const std::vector<uint8_t> frame = e.read(coded, opened.parameter, key, 0, e.filler ? length : at + sealed);
    const additional_data data = body_data(opened.version, e, opened.parameter, g, frame, at, sealed);
    uint8_t npub[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES];
    nonce(2, npub);
    body = large_buffer(body_length);
    const uint8_t* sealed_body = frame.data() + at + sealed_header_bytes;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt_detached(body.data(), nullptr, sealed_body, body_length,
                                                            sealed_body + body_length, data.bytes, data.length, npub,
                                                            key.key) != 0) {
        body.clear();
        return false;
    }
    return true;
}
