// compact_key.h: a compact picture's salt and key, and plaintext wiped when it goes; what every
// embedding and the sealing share (defined in compact_seal.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vorn.h"

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
