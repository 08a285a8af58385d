// How the compact form's container is sealed into an embedding's frame and opened again: the
// key, the salt, the additional data and the nonces are docs/compact-form.md's, "Keys and
// sealing"; the frame and how it lies in the carrier are embedding.h's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vorn.h"

struct embedding;

constexpr uint64_t compact_lead_fields = 128;  // colour bytes 0 to 127: bit 0 holds the salt
constexpr size_t compact_tag_bytes = 16;

// A picture's salt and key; wiped when it goes.
struct compact_key {
    uint8_t salt[VORN_COMPACT_SALT_BYTES] = {};
    uint8_t key[VORN_COMPACT_KEY_BYTES] = {};
    compact_key() = default;
    compact_key(const compact_key&) = delete;
    compact_key& operator=(const compact_key&) = delete;
    ~compact_key();
};

// Zeroes the bytes (sodium_memzero(), which no compiler leaves out), keeping the vector's length.
void wipe_bytes(std::vector<uint8_t>& bytes);

// Plaintext that must not outlive its use: its bytes wiped when the guard goes, however it goes
// (the vector itself frees them after).
struct wiped_when_gone {
    std::vector<uint8_t>& bytes;
    explicit wiped_when_gone(std::vector<uint8_t>& secret) : bytes(secret) {}
    wiped_when_gone(const wiped_when_gone&) = delete;
    wiped_when_gone& operator=(const wiped_when_gone&) = delete;
    ~wiped_when_gone() { wipe_bytes(bytes); }
};

// Draws a fresh salt into key.salt.
void draw_salt(compact_key& key);

// Derives key.key from key.salt and the password (NFC UTF-8, not empty; null: no password).
// Throws std::bad_alloc when Argon2id cannot have its memory.
void derive_key(const std::string* password, compact_key& key);

// The room an embedding at `parameter` gives the stored pictures' bytes in a carrier of geometry
// g; 0 when it has no room for the lead, the sealed header and the body's tag.
uint64_t body_room(const embedding& e, const vorn_geometry& g, unsigned parameter);

// The frame the embedding lays: header (compact_header_bytes, version 2) and body sealed under
// the key, within body_room().
std::vector<uint8_t> sealed_frame(const embedding& e, unsigned parameter, const vorn_geometry& g,
                                  const compact_key& key, const std::vector<uint8_t>& header,
                                  const std::vector<uint8_t>& body);

// The salt in a coded picture's lead (a picture of fewer colour bytes than the lead: false).
bool read_salt(const std::vector<uint8_t>& coded, compact_key& key);

// Where a picture's sealed header opened: the embedding, its parameter, the format version.
struct opened_header {
    const embedding* laid = nullptr;
    unsigned parameter = 0;
    uint8_t version = 0;
    std::vector<uint8_t> header;  // compact_header_bytes of plaintext
};

// Tries every embedding at every parameter (and the low bits as version 1 wrote them): true with
// where it opened, false when the header opens nowhere under the key.
bool open_header(const std::vector<uint8_t>& coded, const compact_key& key, opened_header& opened);

// The body of body_length bytes where the header opened (checked against body_room() by the
// caller), when its tag verifies: false when the picture was changed.
bool open_body(const std::vector<uint8_t>& coded, const opened_header& opened, const compact_key& key,
               uint32_t body_length, std::vector<uint8_t>& body);
