// How a compact picture's sealed bytes are laid into its carrier: the embeddings, one file each,
// all named in embeddings() (docs/compact-form.md, "Embeddings", is the format of each).
//
// Every embedding carries a frame: a byte string that holds the sealed header and body at
// sealed_at, with whatever else the embedding lays (the low-bits embedding's lead bits and random
// filler) around them. The sealing authenticates the frame's other bytes with the body, so an
// embedding need not check anything itself. Every embedding leaves the salt where every other
// does (bit 0 of colour bytes 0 to 127), so that a decoder derives one key and tries each.
//
// A carrier is a coder file image (vorn_check_carrier()): colour bytes in its file order.
#pragma once

#include <cstdint>
#include <vector>

#include "compact_key.h"
#include "vorn.h"

// Identifiers are the format's: they are written in the container's header.
enum : uint8_t { embedding_low_bits = 1, embedding_stealth = 2 };

// The stealth embedding's parameter: the layout of its elements (stealth_order.h). Earlier
// writers wrote the shuffled layout; readers take both, writers write rows.
enum : unsigned { stealth_shuffled = 0, stealth_rows = 1 };

struct embedding {
    uint8_t id = 0;
    const char* name = "";
    unsigned least = 0, most = 0;  // the parameter's range, tried from least up (low bits: k)
    // Whether the frame holds bytes beyond the sealed ones. False: the frame is the sealed header
    // and body alone, and a reader takes its length from the opened header, not from extent().
    bool filler = true;

    // The longest sealed part (header and body with their tags) a carrier of geometry g takes;
    // 0 when it has no room for the lead.
    uint64_t (*room)(const vorn_geometry& g, unsigned parameter) = nullptr;

    // The frame for `sealed` bytes (at most room()): its bytes other than the sealed ones drawn
    // (random, the key's salt where the frame holds it), and where the sealed bytes go.
    std::vector<uint8_t> (*frame)(const vorn_geometry& g, unsigned parameter, const compact_key& key,
                                  uint64_t sealed, uint64_t& sealed_at) = nullptr;

    // Lays the salt and the frame (sealed bytes in place) into `carrier`, in place: the carrier's
    // own bits around them kept as near its original as the embedding can.
    void (*lay)(std::vector<uint8_t>& carrier, unsigned parameter, const compact_key& key,
                const std::vector<uint8_t>& frame) = nullptr;

    // The frame's length in a coded picture and where its sealed bytes start (without filler: the
    // longest frame the picture may hold). False when the picture holds no frame of this
    // embedding.
    bool (*extent)(const std::vector<uint8_t>& coded, unsigned parameter, const compact_key& key, uint64_t& length,
                   uint64_t& sealed_at) = nullptr;

    // Bytes first .. first + count - 1 of the frame a coded picture holds (within extent()).
    // Without filler, how the bytes lie depends on the frame's length: first + count is taken for
    // it (the sealed header lies alike in every length).
    std::vector<uint8_t> (*read)(const std::vector<uint8_t>& coded, unsigned parameter, const compact_key& key,
                                 uint64_t first, uint64_t count) = nullptr;
};

// Every embedding, by identifier.
const std::vector<const embedding*>& embeddings();

// The k low bits of every colour byte (embedding_low_bits.cpp).
const embedding& low_bits_embedding();

// The sealed bytes alone, in +-1 changes chosen by syndrome-trellis coding against the carrier's
// texture, in an order drawn from the key (embedding_stealth.cpp).
const embedding& stealth_embedding();
