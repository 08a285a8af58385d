// The keyed form, inside the engine: where a layout's hidden bits, the salt and the tag lie in a
// coded picture, and the cryptographic steps over them (all through libsodium). The interface is
// the keyed group of vorn.h.
//
// A colour byte is a pixel byte of the raster (row padding and bytes after the last row are not
// colour bytes); they are counted 0, 1, ... in file order. The field of a colour byte is its two
// lowest bits in the hidden-1 layout, its four lowest in every other one. In the first colour
// bytes the hidden pictures give their fields up:
//   salt (16 bytes): bits 1..0 of colour bytes 0..63, in every layout, so that decoding derives
//                    the key before it knows the layout;
//   tag (16 bytes):  bits 3..2 of colour bytes 0..63 in the 4-bit layouts, bits 1..0 of colour
//                    bytes 64..127 in the 2-bit one;
//   message:         the fields of every later colour byte, packed in order, the first field in
//                    the top bits of a byte; the encrypted message replaces them;
//   filler:          the last 0 to 3 fields, which do not fill a byte of the message, hold bits
//                    derived with the key, so that they too look random and are checked.
// Salt, tag and filler bytes are packed two bits at a time, the top two first.
//
// These functions are shared between the keyed objects, so they cannot have internal linkage;
// they live in the namespace vorn_internal, whose mangled names cannot meet a caller's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp.h"
#include "layout_table.h"
#include "vorn.h"

namespace vorn_internal {

// The version of the keyed form: it fixes the cost of the key derivation, the layout of the salt
// and tag, and the additional data. Decoding knows only this one.
constexpr uint8_t keyed_format_version = 1;

// Argon2id's cost: passes over the memory, and the memory in bytes.
struct keyed_cost {
    unsigned long long passes;
    size_t memory;
};
// Version 1: three passes over 256 MiB, libsodium's moderate limits: about 0.8 s native and
// 0.8 to 1.0 s in the web page (scripts/web-test.sh --bench-key). A password is typed once per picture,
// so that is a fair wait, and each guess costs an attacker as much.
constexpr keyed_cost keyed_format_cost{3, size_t(256) << 20};
// Argon2id's lowest cost (libsodium's minimum: one pass over 8 KiB), for tests and fuzzing alone.
constexpr keyed_cost keyed_cheapest_cost{1, 8192};

constexpr size_t keyed_salt_bytes = 16;
constexpr size_t keyed_tag_bytes = 16;
constexpr size_t keyed_key_bytes = 32;
constexpr size_t keyed_data_bytes = 14;  // the additional data: version, layout, sizes

// What the password derives: the cipher's key and one byte whose top bits are the filler.
// Wiped by its users with sodium_memzero.
struct keyed_secret {
    uint8_t key[keyed_key_bytes];
    uint8_t filler;
};

// Starts libsodium (idempotent) and derives the secret. False when libsodium cannot start or
// cannot have the memory the cost asks for.
bool derive_secret(const char* password, size_t password_length, const uint8_t* salt,
                   keyed_cost cost, keyed_secret& secret);

// Where one layout's bits lie in a picture of one geometry.
struct keyed_plan {
    vorn_layout layout;
    const vorn_layout_info* info;  // the layout's facts (layout_table.h)
    unsigned field_bits;      // 2 or 4
    uint64_t colour_bytes;    // width * 3 * height
    uint64_t head;            // colour bytes whose fields hold the salt and the tag
    uint64_t filler;          // the last colour bytes, whose fields hold the filler
    uint64_t message_bytes;   // the packed fields between them
};

// False for VORN_LAYOUT_NONE, an unknown layout, or a picture with fewer colour bytes than the
// salt and the tag take.
bool plan_for(vorn_layout layout, const raster_geometry& g, keyed_plan& plan);

// Colour byte k of `raster` (its field is read and set through it; the bits above are kept).
struct colour_bytes {
    uint8_t* raster;
    const raster_geometry& g;
    uint8_t& operator[](uint64_t k) const
    {
        const uint64_t per_row = uint64_t(g.width) * 3;
        return raster[size_t(k / per_row) * g.string_length + size_t(k % per_row)];
    }
};

// The message fields packed into `message` (plan.message_bytes), and back.
void pack_message(const colour_bytes& fields, const keyed_plan& plan, uint8_t* message);
void unpack_message(const uint8_t* message, const keyed_plan& plan, const colour_bytes& fields);

// The salt, tag and filler in and out of the given-up fields.
void put_head(const colour_bytes& fields, const keyed_plan& plan, const uint8_t* salt,
              const uint8_t* tag, uint8_t filler);
void read_salt(const colour_bytes& fields, uint8_t* salt);
void read_tag(const colour_bytes& fields, const keyed_plan& plan, uint8_t* tag);
bool filler_matches(const colour_bytes& fields, const keyed_plan& plan, uint8_t filler);

// Version, layout, width, height and file length (little-endian 32-bit), which the tag binds.
void additional_data(const keyed_plan& plan, const raster_geometry& g, uint8_t* data);

// Encrypts the message in place and gives its tag; opens it in place, false (the message then
// zeroed) when the tag does not verify.
void seal_message(uint8_t* message, const keyed_plan& plan, const raster_geometry& g,
                  const keyed_secret& secret, uint8_t* tag);
bool open_message(uint8_t* message, const keyed_plan& plan, const raster_geometry& g,
                  const keyed_secret& secret, const uint8_t* tag);

// The stages of a keyed encoding over the hidden pictures' rasters (null: absent): afterwards
// the raster of the layout's field layer (hidden 2's when it is stored, else hidden 1's) holds
// every colour byte's plaintext field, and hidden 1's raster, when both are stored, its levels.
// `down` holds width * 3 entries.
uint8_t* hidden_stages(uint8_t* hidden1, uint8_t* hidden2, const keyed_plan& plan,
                       const raster_geometry& g, uint32_t* down);

// The carrier dithered to the bits above the fields of `fields_raster` and composed with them,
// over `raster`; row padding and bytes after the last row keep the carrier's top bits above
// zeroed fields.
void carrier_stage(uint8_t* raster, const uint8_t* fields_raster, const keyed_plan& plan,
                   const raster_geometry& g, uint32_t* down);

// The decoded pictures from the opened fields: picture 1's and picture 2's raster bytes (all zero
// for a picture the layout does not hold; raster2 may be the fields' own raster), the given-up
// colour bytes taken from their neighbours in the next or previous row.
void decoded_pictures(const colour_bytes& fields, const keyed_plan& plan, uint8_t* raster1,
                      uint8_t* raster2);

// The work a keyed call needs: the dither row, then the message (at most half a byte per colour
// byte), in 64 bits. None for a picture without colour bytes, which no layout can key: a header
// may claim a row of two gigabytes over zero rows.
inline uint64_t keyed_work_bytes(const raster_geometry& g)
{
    const uint64_t row = uint64_t(g.width) * 3, colour_bytes = row * g.height;
    return colour_bytes == 0 ? 0 : row * sizeof(uint32_t) + colour_bytes / 2 + 1;
}

// The keyed calls with the salt and the cost as parameters, so that tests can fix the one and
// lower the other; the public calls pass a null salt (drawn here, for every encoding) and
// keyed_format_cost.
vorn_error keyed_encode_at(uint8_t* image, size_t length, uint8_t* hidden1, size_t hidden1_length,
                           uint8_t* hidden2, size_t hidden2_length, vorn_layout layout,
                           const char* password, size_t password_length, const uint8_t* salt,
                           keyed_cost cost, void* work, size_t work_size);
vorn_error keyed_decode_at(const uint8_t* coded, size_t length, const char* password,
                           size_t password_length, keyed_cost cost, uint8_t* picture1,
                           uint8_t* picture2, size_t picture_length, vorn_layout* layout, void* work,
                           size_t work_size);

}  // namespace vorn_internal
