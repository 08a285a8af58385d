// The keyed form on fuzzed pictures, its key derived at Argon2id's cheapest cost
// (keyed_testing.h), so that every input reaches the salt, the layout search, the tag check and
// the decoded pictures as vorn_keyed_decode() runs them:
//
//   byte 0, bits 0-2: the layout the picture is keyed in first (1 to 5; 0, 6 and 7: the picture
//                     is decoded as it is)
//   byte 0, bits 3-7: which colour byte has a hidden bit changed after keying (0: none)
//   the rest: the picture, used as the carrier and as its hidden pictures
//
// Promises checked: decoding ends as the picture's check allows, and a wrong key or a changed
// picture writes nothing but zeros in the second picture; a picture keyed in a layout opens in
// that layout with the coded picture's head, and any changed hidden bit makes it refused.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "keyed_testing.h"
#include "vorn.h"

namespace {

using buffer = std::vector<uint8_t>;

const char password[] = "fuzzing";
const uint8_t salt[VORN_KEYED_SALT_BYTES] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};

struct opened {
    vorn_error error;
    vorn_layout layout = VORN_LAYOUT_NONE;
    buffer first, second;
};

buffer keyed_work(const uint8_t* image, size_t size)
{
    vorn_geometry g{};
    size_t work_size = 0;
    if (vorn_check_carrier(image, size, &g) == VORN_OK)
        expect(vorn_keyed_work_size(&g, &work_size) == VORN_OK, "no keyed work size");
    return buffer(work_size);
}

// The decoded pictures have a byte even for an empty input, so that their buffers are never null
// and the picture's own check decides the outcome.
opened open(const uint8_t* coded, size_t size)
{
    opened out{VORN_OK, VORN_LAYOUT_NONE, buffer(std::max<size_t>(size, 1), 0xEE),
               buffer(std::max<size_t>(size, 1), 0xEE)};
    buffer work = keyed_work(coded, size);
    out.error = vorn_testing_keyed_decode(coded, size, password, sizeof password - 1, out.first.data(),
                                          out.second.data(), size, &out.layout, VORN_TESTING_KEY_CHEAP,
                                          work.data(), work.size());
    return out;
}

// Whatever the picture, decoding ends as its check allows and keeps its promises on a refusal.
void check_decoding(const uint8_t* picture, size_t size)
{
    vorn_geometry g{};
    const vorn_error readable = vorn_check_carrier(picture, size, &g);
    const opened out = open(picture, size);
    if (readable != VORN_OK) {
        expect(out.error == readable, "decoding judged the picture otherwise than its check");
        return;
    }
    expect(out.error == VORN_OK || out.error == VORN_ERR_KEY_MISMATCH || out.error == VORN_ERR_TOO_SMALL_FOR_KEY,
           "decoding ended in an unexpected error");
    if (out.error == VORN_ERR_KEY_MISMATCH) {
        expect(out.first == buffer(out.first.size(), 0xEE), "a refused picture wrote its first picture");
        expect(out.second == buffer(size, 0), "a refused picture left more than zeros in its second picture");
    }
    if (out.error == VORN_OK) {
        const vorn_layout_info* info = vorn_layout_describe(out.layout);
        expect(info && info->decode_order > 0, "decoding named a layout it never tries");
    }
}

// The picture keyed in `layout`, opened again, then opened with hidden bit 0 of one colour byte
// changed. Only a raster that starts after the header's fields (byte 30 on) is certain to keep
// its geometry when the carrier's bits are written.
void check_round_trip(const uint8_t* picture, size_t size, vorn_layout layout, unsigned change)
{
    vorn_geometry g{};
    if (vorn_check_carrier(picture, size, &g) != VORN_OK || g.offset_raster < 30) return;
    const vorn_layout_info* info = vorn_layout_describe(layout);
    buffer coded(picture, picture + size), hidden1(coded), hidden2(coded), work = keyed_work(picture, size);
    const vorn_error error = vorn_testing_keyed_encode(
        coded.data(), size, info->picture[0].bits ? hidden1.data() : nullptr, size,
        info->picture[1].bits ? hidden2.data() : nullptr, size, layout, password, sizeof password - 1, salt,
        VORN_TESTING_KEY_CHEAP, work.data(), work.size());
    if (error == VORN_ERR_TOO_SMALL_FOR_KEY) return;
    expect(error == VORN_OK, "an accepted carrier was not keyed");
    expect(std::equal(picture, picture + g.offset_raster, coded.begin()), "keying changed the head");

    const opened out = open(coded.data(), size);
    expect(out.error == VORN_OK && out.layout == layout, "a keyed picture did not open in its own layout");
    expect(std::equal(coded.begin(), coded.begin() + g.offset_raster, out.first.begin()) &&
               std::equal(coded.begin(), coded.begin() + g.offset_raster, out.second.begin()),
           "the decoded pictures lost the coded picture's head");
    if (change == 0) return;
    const uint64_t per_row = uint64_t(g.width) * 3, colour_bytes = per_row * g.height;
    const uint64_t k = (change - 1) % colour_bytes;
    coded[g.offset_raster + size_t(k / per_row) * g.string_length + size_t(k % per_row)] ^= 1;
    expect(open(coded.data(), size).error == VORN_ERR_KEY_MISMATCH, "a changed hidden bit was not noticed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const int layout = data[0] & 7;
    const uint8_t* picture = data + 1;
    const size_t length = size - 1;
    check_decoding(picture, length);
    if (layout >= VORN_LAYOUT_HIDDEN1 && layout <= VORN_LAYOUT_BOTH_VORNHOLD2)
        check_round_trip(picture, length, vorn_layout(layout), data[0] >> 3);
    return 0;
}
