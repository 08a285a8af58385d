// How the compact form's container is sealed into an embedding's frame and opened again: the
// key, the salt, the additional data and the nonces are docs/compact-form.md's, "Keys and
// sealing"; the frame and how it lies in the carrier are embedding.h's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compact_key.h"
#include "vorn.h"

struct embedding;

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
