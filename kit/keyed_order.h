// The order, drawn from a key, in which a message is spread over a picture's colour bytes, and
// the key's other random bits.
//
// The random source is ChaCha20 (the original, 8-byte nonce and 64-bit block counter, as
// libsodium's crypto_stream_chacha20) under the 32-byte key: the keystream from block 0, read as
// little-endian uint32 words (or as bytes). The order uses nonce 0, the change directions nonce 1
// (the nonce's 8 bytes little-endian): the nonce and counter as 16 bytes are the counter's 8
// little-endian bytes, then the nonce's.
// keyed_order(key, n) is Fisher-Yates: start from 0, 1, ..., n - 1; for i from n - 1 down to 1,
// draw words r until r >= 2^32 mod (i + 1), take j = r mod (i + 1) and swap entries i and j.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t keyed_order_key_bytes = 32;
constexpr uint64_t keyed_order_nonce = 0, keyed_direction_nonce = 1;

// A permutation of 0 to n - 1: entry i is the element that comes i-th.
std::vector<uint32_t> keyed_order(const uint8_t key[keyed_order_key_bytes], uint32_t n);

// The last `count` entries of keyed_order(key, n), the last first: the first `count` swaps alone,
// in memory for `count` entries rather than n (what a reader needs to read a short first part).
std::vector<uint32_t> keyed_order_tail(const uint8_t key[keyed_order_key_bytes], uint32_t n, uint32_t count);

// The first `count` bytes of the keystream under key and nonce.
std::vector<uint8_t> keyed_stream(const uint8_t key[keyed_order_key_bytes], uint64_t nonce, size_t count);
