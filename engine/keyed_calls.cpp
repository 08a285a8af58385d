// The keyed calls that need a key: encoding under a password, with a salt drawn for every
// encoding, and decoding that finds the layout whose tag verifies.
#include <sodium.h>

#include <array>
#include <cstring>

#include "keyed.h"
#include "sizes.h"

namespace vorn_internal {
namespace {

// The layouts decoding tries, in their decode_order.
constexpr int tried_count = [] {
    int count = 0;
    for (const vorn_layout_info& info : layout_table) count += info.decode_order > 0;
    return count;
}();
constexpr std::array<vorn_layout, tried_count> keyed_layouts = [] {
    std::array<vorn_layout, tried_count> order{};
    for (int i = 0; i < layout_count; ++i)
        if (layout_table[i].decode_order > 0) order[size_t(layout_table[i].decode_order - 1)] = vorn_layout(i);
    return order;
}();

// The work block: the dither row first (4-byte aligned as the block is), the message after it.
struct keyed_work {
    uint32_t* down;
    uint8_t* message;
};

keyed_work work_in(void* block, const raster_geometry& g)
{
    uint32_t* down = static_cast<uint32_t*>(block);
    return {down, reinterpret_cast<uint8_t*>(down + size_t(g.width) * 3)};
}

// A hidden picture the layout stores must be given and fit the carrier; one it does not store
// must not be given.
vorn_error check_picture(const uint8_t* image, size_t length, bool stored, const raster_geometry& g)
{
    if (!stored) return image ? VORN_ERR_ARGUMENT : VORN_OK;
    if (!image) return VORN_ERR_ARGUMENT;
    return hidden_difference(image, length, g);
}

}  // namespace

vorn_error keyed_encode_at(uint8_t* image, size_t length, uint8_t* hidden1, size_t hidden1_length,
                           uint8_t* hidden2, size_t hidden2_length, vorn_layout layout,
                           const char* password, size_t password_length, const uint8_t* salt,
                           keyed_cost cost, void* work, size_t work_size)
{
    if (!image || (!password && password_length > 0)) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(image, length, g)) return error;
    keyed_plan plan{};
    const vorn_layout_info* info = layout_info(layout);
    if (!info || (!holds(*info, 1) && !holds(*info, 2))) return VORN_ERR_ARGUMENT;
    if (const vorn_error error = check_picture(hidden1, hidden1_length, holds(*info, 1), g)) return error;
    if (const vorn_error error = check_picture(hidden2, hidden2_length, holds(*info, 2), g)) return error;
    if (password_length == 0) return VORN_ERR_PASSWORD_EMPTY;
    if (!plan_for(layout, g, plan)) return VORN_ERR_TOO_SMALL_FOR_KEY;
    if (const vorn_error error = check_work(work, work_size, keyed_work_bytes(g))) return error;

    // A salt of its own for every encoding gives every picture a key of its own, which is what
    // lets the cipher's nonce be fixed. libsodium must be started before it draws.
    uint8_t drawn[keyed_salt_bytes];
    if (!salt) {
        if (sodium_init() < 0) return VORN_ERR_KEY_MEMORY;
        randombytes_buf(drawn, sizeof drawn);
        salt = drawn;
    }
    keyed_secret secret;
    if (!derive_secret(password, password_length, salt, cost, secret)) return VORN_ERR_KEY_MEMORY;
    const keyed_work rooms = work_in(work, g);
    uint8_t* layer1 = hidden1 ? hidden1 + g.offset_raster : nullptr;
    uint8_t* layer2 = hidden2 ? hidden2 + g.offset_raster : nullptr;
    uint8_t* fields = hidden_stages(layer1, layer2, plan, g, rooms.down);
    const colour_bytes field_bytes{fields, g};
    pack_message(field_bytes, plan, rooms.message);
    uint8_t tag[keyed_tag_bytes];
    seal_message(rooms.message, plan, g, secret, tag);
    unpack_message(rooms.message, plan, field_bytes);
    put_head(field_bytes, plan, salt, tag, secret.filler);
    carrier_stage(image + g.offset_raster, fields, plan, g, rooms.down);

    // The hidden pictures' rasters were work room: they hold dithered plaintext, which goes too.
    const size_t raster_bytes = size_t(g.length) - g.offset_raster;
    if (layer1) sodium_memzero(layer1, raster_bytes);
    if (layer2) sodium_memzero(layer2, raster_bytes);
    sodium_memzero(&secret, sizeof secret);
    return VORN_OK;
}

vorn_error keyed_decode_at(const uint8_t* coded, size_t length, const char* password,
                           size_t password_length, keyed_cost cost, uint8_t* picture1,
                           uint8_t* picture2, size_t picture_length, vorn_layout* layout, void* work,
                           size_t work_size)
{
    if (!coded || !picture1 || !picture2 || !layout || (!password && password_length > 0))
        return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(coded, length, g)) return error;
    if (picture_length < length) return VORN_ERR_BUFFER_TOO_SMALL;
    if (password_length == 0) return VORN_ERR_PASSWORD_EMPTY;
    // A picture too small for every layout's salt and tag is refused before the key is derived.
    keyed_plan plan{};
    bool fits_one = false;
    for (const vorn_layout candidate : keyed_layouts) fits_one = fits_one || plan_for(candidate, g, plan);
    if (!fits_one) return VORN_ERR_TOO_SMALL_FOR_KEY;
    if (const vorn_error error = check_work(work, work_size, keyed_work_bytes(g))) return error;

    // Fields are read from a copy of the coded picture in picture 2's buffer, which the opened
    // fields then replace; the decoded pictures are made from there.
    std::memcpy(picture2, coded, length);
    uint8_t* fields = picture2 + g.offset_raster;
    const colour_bytes field_bytes{fields, g};
    uint8_t salt[keyed_salt_bytes];
    read_salt(field_bytes, salt);
    keyed_secret secret;
    if (!derive_secret(password, password_length, salt, cost, secret)) return VORN_ERR_KEY_MEMORY;

    const keyed_work rooms = work_in(work, g);
    bool opened = false;
    for (const vorn_layout candidate : keyed_layouts) {
        if (!plan_for(candidate, g, plan)) continue;
        uint8_t tag[keyed_tag_bytes];
        read_tag(field_bytes, plan, tag);
        pack_message(field_bytes, plan, rooms.message);
        const bool filler_ok = filler_matches(field_bytes, plan, secret.filler);
        if (open_message(rooms.message, plan, g, secret, tag) && filler_ok) {
            opened = true;
            break;
        }
    }
    sodium_memzero(&secret, sizeof secret);
    if (!opened) {
        sodium_memzero(picture2, length);
        return VORN_ERR_KEY_MISMATCH;
    }
    unpack_message(rooms.message, plan, field_bytes);
    sodium_memzero(rooms.message, size_t(plan.message_bytes));
    std::memcpy(picture1, coded, g.offset_raster);
    decoded_pictures(field_bytes, plan, picture1 + g.offset_raster, fields);
    *layout = plan.layout;
    return VORN_OK;
}

}  // namespace vorn_internal

using namespace vorn_internal;

// Defined beside the calls that need a key, so that a program linking them has this answer: a
// library without them (the static libvorn.a) defines vorn_has_keyed() as 0 in an object of its
// own (keyless.cpp), and a program linking both libraries in the wrong order fails to link
// rather than answering wrongly.
int vorn_has_keyed(void) { return 1; }

vorn_error vorn_keyed_encode(uint8_t* image, size_t length, uint8_t* hidden1, size_t hidden1_length,
                             uint8_t* hidden2, size_t hidden2_length, vorn_layout layout,
                             const char* password, size_t password_length, void* work, size_t work_size)
{
    return keyed_encode_at(image, length, hidden1, hidden1_length, hidden2, hidden2_length, layout,
                           password, password_length, nullptr, keyed_format_cost, work, work_size);
}

vorn_error vorn_keyed_decode(const uint8_t* coded, size_t length, const char* password,
                             size_t password_length, uint8_t* picture1, uint8_t* picture2,
                             size_t picture_length, vorn_layout* layout, void* work, size_t work_size)
{
    return keyed_decode_at(coded, length, password, password_length, keyed_format_cost, picture1,
                           picture2, picture_length, layout, work, work_size);
}
