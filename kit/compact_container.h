// The compact form's container: what the hidden pictures travel in, before it is encrypted.
//
// The header, 40 bytes, little-endian:
//   offset  size  field
//        0     1  format version, 1
//        1     1  pictures stored, 1 or 2
//        2     2  0
//        4     4  body length: the stored pictures' bytes together
//        8    16  entry of the first picture stored
//       24    16  entry of the second, or 16 zero bytes
// An entry:
//        0     1  which hidden picture it is, 1 or 2 (entries in that order)
//        1     1  codec: 1 lossless WebP, 2 lossy WebP, 3 JPEG
//        2     2  0
//        4     4  width in pixels
//        8     4  height in pixels
//       12     4  length of its file in the body
// The body is the pictures' files one after the other, in the entries' order. How header and
// body lie in a carrier, encrypted, is compact_seal.h's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rgb_picture.h"
#include "stored_picture.h"

constexpr uint8_t compact_format_version = 1;
constexpr size_t compact_header_bytes = 40;

struct stored_entry {
    uint8_t which = 0;  // 1 or 2
    stored_codec codec = stored_codec::webp_lossless;
    uint32_t width = 0, height = 0;
    uint32_t length = 0;
};

struct compact_header {
    uint32_t body_length = 0;
    std::vector<stored_entry> entries;  // one or two
};

// The header's bytes for these entries (their lengths add up to the body's).
std::vector<uint8_t> header_bytes(const std::vector<stored_entry>& entries);

// Reads a header, holding it to the format: the version, one or two entries in order, zeros
// where the format has them, known codecs, sides within each codec's, lengths that add up to
// the body length, which is at most `most_body` (the room the carrier gives). False for any
// other header; nothing is allocated.
bool read_header(const uint8_t* bytes, compact_header& header, uint64_t most_body);

// The pictures of a container whose header was read: each entry's file decoded, held to its
// entry and to `limits` (name: the coded picture's, for the texts), as coder file images (BMPs),
// pictures[which - 1]. Raises an input fault for a picture that does not decode.
void decode_body(const compact_header& header, const uint8_t* body, const read_limits& limits,
                 const std::string& name, std::vector<uint8_t> (&pictures)[2]);

// A whole plaintext container, header and body, read and decoded as above: false when its
// header is not one (or its body is shorter than the header says). For tests and fuzzing: the
// compact form itself reaches decode_body() through the decryption.
bool open_plain_container(const std::vector<uint8_t>& container, const read_limits& limits,
                          std::vector<uint8_t> (&pictures)[2]);
