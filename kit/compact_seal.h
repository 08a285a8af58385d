// How the compact form's container lies in a carrier, encrypted.
//
// At k bits per colour byte (k from 1 to 4, the stream order of vorn.h's compact group):
//   the lead, colour bytes 0 to 127: bit 0 of each holds the salt (salt bit i, bit 7 - i % 8 of
//     its byte i / 8, in colour byte i), its other k - 1 bits random; so the salt lies alike at
//     every k and one key serves every k tried;
//   from colour byte 128 on, packed at k bits each: the header sealed (40 bytes and a 16-byte
//     tag), the body sealed (its length and a 16-byte tag), then random bits to the end.
// Nothing in clear marks the picture: every bit is random or encrypted.
//
// Key: Argon2id of the password with the salt at the keyed form's cost. Without a password,
// BLAKE2b-256 of a fixed text keyed with the salt: anyone can derive it, so such a picture is
// protected by nothing; it only keeps the one format for both.
// Cipher: XChaCha20-Poly1305. Every picture draws its salt and so has its own key: the nonces can
// be fixed, 1 for the header and 2 for the body (first byte; the others 0).
// Additional data: the header's binds the version, k and the carrier's width and height, so that
// it opens at its own k only; the body's adds the BLAKE2b-256 hash of the lead and of the random
// bits after the body, so that a change to any low bit of the picture is found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vorn.h"

constexpr uint64_t compact_lead_fields = 128;
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

// Draws a fresh salt into key.salt.
void draw_salt(compact_key& key);

// Derives key.key from key.salt and the password (NFC UTF-8, not empty; null: no password).
// Throws std::bad_alloc when Argon2id cannot have its memory.
void derive_key(const std::string* password, compact_key& key);

// The room the carrier gives the stored pictures' bytes at k bits per colour byte; 0 when it has
// no room for the lead, the sealed header and the body's tag.
uint64_t body_room(const vorn_geometry& g, unsigned k);

// The stream that vorn_compact_carrier() lays into the carrier at k bits: the lead with the key's
// salt, header and body sealed under its key, random bits around them. The body fits
// body_room(g, k).
std::vector<uint8_t> sealed_stream(const vorn_geometry& g, unsigned k, const compact_key& key,
                                   const std::vector<uint8_t>& header, const std::vector<uint8_t>& body);

// The salt in a coded picture's lead (a picture of fewer colour bytes than the lead: false).
bool read_salt(const std::vector<uint8_t>& coded, compact_key& key);

// The k at which the picture's header opens under the key, and the header (compact_header_bytes);
// 0 when it opens at none.
unsigned open_header(const std::vector<uint8_t>& coded, const compact_key& key, std::vector<uint8_t>& header);

// The body of body_length bytes at k (checked against body_room() by the caller), when its tag
// verifies: false when the picture was changed.
bool open_body(const std::vector<uint8_t>& coded, unsigned k, const compact_key& key, uint32_t body_length,
               std::vector<uint8_t>& body);
