// The keyed form's layout of bits and its cryptographic steps.
#include "keyed.h"

#include <sodium.h>

#include <cstring>

namespace vorn_internal {
namespace {

constexpr uint64_t salt_fields = keyed_salt_bytes * 4;  // two bits per field
constexpr uint64_t tag_fields = keyed_tag_bytes * 4;

// A fresh random salt gives a fresh key for every coded picture, and each key encrypts one
// message only, so the nonce can be the same for all of them: all zero.
constexpr uint8_t fixed_nonce[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES] = {};

uint64_t row_bytes(const raster_geometry& g) { return uint64_t(g.width) * 3; }

static_assert(keyed_cheapest_cost.passes == crypto_pwhash_OPSLIMIT_MIN &&
              keyed_cheapest_cost.memory == crypto_pwhash_MEMLIMIT_MIN);

// Calls visit(byte, k) for colour bytes first .. last - 1, walking rows rather than dividing.
template <class Visit>
void for_each_colour_byte(uint8_t* raster, const raster_geometry& g, uint64_t first, uint64_t last,
                          Visit visit)
{
    const uint64_t per_row = row_bytes(g);
    if (first >= last) return;
    uint64_t y = first / per_row, x = first % per_row;
    for (uint64_t k = first; k < last; ++y, x = 0) {
        uint8_t* row = raster + size_t(y) * g.string_length;
        for (; x < per_row && k < last; ++x, ++k) visit(row[x], k);
    }
}

// Two bits of `bytes` at pair index i, the top pair of each byte first.
uint8_t pair_of(const uint8_t* bytes, uint64_t i) { return uint8_t(bytes[i / 4] >> (6 - 2 * (i % 4)) & 3); }
void put_pair(uint8_t* bytes, uint64_t i, uint8_t pair)
{
    bytes[i / 4] = uint8_t(bytes[i / 4] | (pair & 3) << (6 - 2 * (i % 4)));
}

uint8_t field_mask(const keyed_plan& plan) { return uint8_t((1u << plan.field_bits) - 1); }

void put_le32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

}  // namespace


bool derive_secret(const char* password, size_t password_length, const uint8_t* salt,
                   keyed_cost cost, keyed_secret& secret)
{
    static_assert(sizeof(keyed_secret) == keyed_key_bytes + 1);
    static_assert(keyed_salt_bytes == crypto_pwhash_SALTBYTES);
    if (sodium_init() < 0) return false;
    return crypto_pwhash(reinterpret_cast<unsigned char*>(&secret), sizeof secret, password,
                         password_length, salt, cost.passes, cost.memory,
                         crypto_pwhash_ALG_ARGON2ID13) == 0;
}

bool plan_for(vorn_layout layout, const raster_geometry& g, keyed_plan& plan)
{
    const vorn_layout_info* info = layout_info(layout);
    if (!info || (!holds(*info, 1) && !holds(*info, 2))) return false;
    plan.layout = layout;
    plan.info = info;
    plan.field_bits = field_bits(*info);
    plan.colour_bytes = row_bytes(g) * g.height;
    plan.head = plan.field_bits == 2 ? salt_fields + tag_fields : salt_fields;
    if (plan.colour_bytes < plan.head) return false;
    const uint64_t per_byte = 8 / plan.field_bits;
    plan.filler = (plan.colour_bytes - plan.head) % per_byte;
    plan.message_bytes = (plan.colour_bytes - plan.head) / per_byte;
    return true;
}

void pack_message(const colour_bytes& fields, const keyed_plan& plan, uint8_t* message)
{
    const unsigned bits = plan.field_bits;
    const uint8_t mask = field_mask(plan);
    std::memset(message, 0, size_t(plan.message_bytes));
    const uint64_t per_byte = 8 / bits;
    for_each_colour_byte(fields.raster, fields.g, plan.head, plan.colour_bytes - plan.filler,
                         [&](uint8_t& byte, uint64_t k) {
                             const uint64_t i = k - plan.head;
                             const unsigned shift = unsigned(8 - bits * (1 + i % per_byte));
                             message[i / per_byte] = uint8_t(message[i / per_byte] | (byte & mask) << shift);
                         });
}

void unpack_message(const uint8_t* message, const keyed_plan& plan, const colour_bytes& fields)
{
    const unsigned bits = plan.field_bits;
    const uint8_t mask = field_mask(plan);
    const uint64_t per_byte = 8 / bits;
    for_each_colour_byte(fields.raster, fields.g, plan.head, plan.colour_bytes - plan.filler,
                         [&](uint8_t& byte, uint64_t k) {
                             const uint64_t i = k - plan.head;
                             const unsigned shift = unsigned(8 - bits * (1 + i % per_byte));
                             byte = uint8_t((byte & ~mask) | (message[i / per_byte] >> shift & mask));
                         });
}

void put_head(const colour_bytes& fields, const keyed_plan& plan, const uint8_t* salt,
              const uint8_t* tag, uint8_t filler)
{
    const uint8_t mask = field_mask(plan);
    for (uint64_t k = 0; k < plan.head; ++k) {
        uint8_t field = k < salt_fields ? pair_of(salt, k) : pair_of(tag, k - salt_fields);
        if (plan.field_bits == 4) field = uint8_t(pair_of(tag, k) << 2 | field);
        fields[k] = uint8_t((fields[k] & ~mask) | field);
    }
    // The filler's top bits, one field after the other.
    for (uint64_t i = 0; i < plan.filler; ++i) {
        uint8_t& byte = fields[plan.colour_bytes - plan.filler + i];
        const uint8_t field = uint8_t(filler >> (8 - plan.field_bits * (i + 1)) & mask);
        byte = uint8_t((byte & ~mask) | field);
    }
}

void read_salt(const colour_bytes& fields, uint8_t* salt)
{
    std::memset(salt, 0, keyed_salt_bytes);
    for (uint64_t k = 0; k < salt_fields; ++k) put_pair(salt, k, fields[k] & 3);
}

void read_tag(const colour_bytes& fields, const keyed_plan& plan, uint8_t* tag)
{
    std::memset(tag, 0, keyed_tag_bytes);
    for (uint64_t i = 0; i < tag_fields; ++i) {
        const uint8_t byte = plan.field_bits == 4 ? uint8_t(fields[i] >> 2) : fields[salt_fields + i];
        put_pair(tag, i, byte & 3);
    }
}

bool filler_matches(const colour_bytes& fields, const keyed_plan& plan, uint8_t filler)
{
    const uint8_t mask = field_mask(plan);
    bool same = true;
    for (uint64_t i = 0; i < plan.filler; ++i) {
        const uint8_t field = uint8_t(filler >> (8 - plan.field_bits * (i + 1)) & mask);
        same &= (fields[plan.colour_bytes - plan.filler + i] & mask) == field;
    }
    return same;
}

void additional_data(const keyed_plan& plan, const raster_geometry& g, uint8_t* data)
{
    data[0] = keyed_format_version;
    data[1] = uint8_t(plan.layout);
    put_le32(data + 2, g.width);
    put_le32(data + 6, g.height);
    put_le32(data + 10, g.length);
}

void seal_message(uint8_t* message, const keyed_plan& plan, const raster_geometry& g,
                  const keyed_secret& secret, uint8_t* tag)
{
    static_assert(keyed_tag_bytes == crypto_aead_xchacha20poly1305_ietf_ABYTES);
    static_assert(keyed_key_bytes == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
    uint8_t data[keyed_data_bytes];
    additional_data(plan, g, data);
    unsigned long long tag_length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(message, tag, &tag_length, message,
                                                        plan.message_bytes, data, sizeof data,
                                                        nullptr, fixed_nonce, secret.key);
}

bool open_message(uint8_t* message, const keyed_plan& plan, const raster_geometry& g,
                  const keyed_secret& secret, const uint8_t* tag)
{
    uint8_t data[keyed_data_bytes];
    additional_data(plan, g, data);
    return crypto_aead_xchacha20poly1305_ietf_decrypt_detached(message, nullptr, message,
                                                               plan.message_bytes, tag, data,
                                                               sizeof data, fixed_nonce,
                                                               secret.key) == 0;
}

}  // namespace vorn_internal
