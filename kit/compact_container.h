// The compact form's container: what the hidden pictures travel in, before it is sealed. Its
// bytes (version 2 as written, version 1 as still read) are docs/compact-form.md's, "The
// container"; how it is sealed and laid into a carrier is compact_seal.h's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rgb_picture.h"
#include "stored_picture.h"

constexpr uint8_t compact_format_version = 2;  // what is written; version 1 is still read
constexpr size_t compact_header_bytes = 40;

struct stored_entry {
    uint8_t which = 0;  // 1 or 2
    stored_codec codec = stored_codec::webp_lossless;
    uint32_t width = 0, height = 0;
    uint32_t length = 0;
};

struct compact_header {
    uint8_t version = 0;
    uint8_t embedding = 0, parameter = 0;  // version 1: 0 and 0 (its low bits' k is where it opened)
    uint32_t body_length = 0;
    std::vector<stored_entry> entries;  // one or two
};

// The header's bytes (version 2) for these entries (their lengths add up to the body's), laid by
// this embedding with this parameter.
std::vector<uint8_t> header_bytes(const std::vector<stored_entry>& entries, uint8_t embedding, uint8_t parameter);

// Reads a header, holding it to the format: the version (1 with zeros where version 2 names the
// embedding, or 2), one or two entries in order, zeros
// where the format has them, known codecs, sides within each codec's, lengths that add up to
// the body length, which is at most `most_body` (the room the carrier gives). False for any
// other header; nothing is allocated.
bool read_header(const uint8_t* bytes, compact_header& header, uint64_t most_body);

// The pictures of a container whose header was read: each entry's file decoded, held to its
// entry and to `limits` (name: the coded picture's, for the texts), in the rgb layout,
// pictures[which - 1]. Raises an input fault for a picture that does not decode.
void decode_body(const compact_header& header, const uint8_t* body, const read_limits& limits,
                 const std::string& name, rgb_picture (&pictures)[2]);

// A whole plaintext container, header and body, read and decoded as above: false when its
// header is not one (or its body is shorter than the header says). For tests and fuzzing: the
// compact form itself reaches decode_body() through the decryption.
bool open_plain_container(const std::vector<uint8_t>& container, const read_limits& limits,
                          rgb_picture (&pictures)[2]);
