// The library's interface on memory, every function on one picture cut from the input, checked
// against the promises of vorn.h: outputs keep the input's length and head, in place equals out
// of place, and no call reads or writes beyond the buffers it is given (the sanitizers watch).
//
//   byte 0, bit 0: the build (vornhold2 when clear)
//   byte 0, bits 1-2: the content to extract (0: none, 1: hidden 1, 2: hidden 2, 3: both)
//   the rest: the picture, used as the carrier, as both hidden pictures, and as a coded picture
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "vorn.h"

namespace {

using buffer = std::vector<uint8_t>;

// Work larger than this is not taken: the fuzzer's memory limit belongs to real faults.
constexpr size_t max_work = size_t(64) << 20;

void check_reveal(const uint8_t* picture, size_t size)
{
    buffer out(size), in_place(picture, picture + size);
    const vorn_error error = vorn_reveal(picture, size, out.data(), out.size());
    expect((error == VORN_OK) == (size >= 26), "reveal refused or took a file by its length wrongly");
    if (error != VORN_OK) return;
    vorn_reveal(in_place.data(), size, in_place.data(), in_place.size());
    expect(in_place == out, "reveal in place differs from reveal out of place");
}

void check_coding(const uint8_t* picture, size_t size, const vorn_geometry& g, vorn_build build, int content)
{
    size_t encode_size = 0, decode_size = 0;
    expect(vorn_encode_work_size(&g, &encode_size) == VORN_OK, "no encode work size");
    expect(vorn_program_decode_work_size(&g, &decode_size) == VORN_OK, "no decode work size");
    if (encode_size > max_work || decode_size > max_work) return;
    std::vector<uint32_t> work(std::max(encode_size, decode_size) / 4 + 1);

    buffer coded(picture, picture + size), hidden1(picture, picture + size), hidden2(picture, picture + size);
    int refused = -1;
    expect(vorn_encode(coded.data(), size, content & 1 ? hidden1.data() : nullptr, size,
                       content & 2 ? hidden2.data() : nullptr, size, build, work.data(), encode_size,
                       &refused) == VORN_OK,
           "an accepted carrier was not encoded");
    expect(std::equal(picture, picture + g.offset_raster, coded.begin()), "encoding changed the head");
    expect(refused == 0, "a hidden picture of the carrier's own geometry was refused");

    // A raster that starts inside the header (offset_raster below 30) rewrites the header, and
    // the coded picture may then be another picture, or none: decoding must judge it by its check.
    vorn_geometry coded_geometry{};
    const vorn_error readable = vorn_check_carrier(coded.data(), size, &coded_geometry);
    if (readable == VORN_OK) {
        expect(vorn_program_decode_work_size(&coded_geometry, &decode_size) == VORN_OK, "no decode work size");
        if (decode_size > max_work) return;
        work.resize(std::max(work.size(), decode_size / 4 + 1));
    }
    buffer first(size), second(size), in_place = coded;
    expect(vorn_program_decode(coded.data(), size, build, first.data(), second.data(), work.data(),
                               decode_size) == readable,
           "decoding judged the coded picture otherwise than its check");
    if (readable != VORN_OK) return;
    vorn_program_decode(in_place.data(), size, build, nullptr, in_place.data(), work.data(), decode_size);
    expect(in_place == second, "decoding in place differs from decoding out of place");

    const vorn_layout layout = vorn_layout_of(build, content & 1, content & 2);
    for (int which = 1; which <= 2; ++which) {
        expect(vorn_layout_holds(layout, which) == ((content & which) != 0), "the layout holds the wrong pictures");
        if (!(content & which)) continue;
        buffer hidden(size);
        expect(vorn_extract(coded.data(), size, layout, which, hidden.data(), hidden.size()) == VORN_OK,
               "a hidden picture was not extracted");
    }
    vorn_layout guessed{};
    expect(vorn_detect(coded.data(), size, &guessed) == VORN_OK, "detection failed");

    // Pixels out and back into the equivalent BMP keep every pixel byte.
    size_t rgb_length = 0;
    expect(vorn_rgb_length(&g, &rgb_length) == VORN_OK, "no RGB size for an accepted picture");
    buffer rgb(rgb_length);
    expect(vorn_bmp_to_rgb(picture, size, rgb.data(), rgb.size()) == VORN_OK, "no pixels from an accepted picture");
    size_t length = 0;
    if (vorn_bmp_length(g.width, g.height, &length) != VORN_OK || length > max_work) return;
    buffer again(length);
    expect(vorn_bmp_from_rgb(rgb.data(), g.width, g.height, size_t(g.width) * 3, 3, again.data(), again.size()) ==
               VORN_OK,
           "no BMP from pixels");
    for (uint32_t y = 0; g.width > 0 && y < g.height; ++y)
        expect(std::memcmp(again.data() + 54 + size_t(y) * g.string_length,
                           picture + g.offset_raster + size_t(y) * g.string_length, size_t(g.width) * 3) == 0,
               "a pixel changed on its way through RGB");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const vorn_build build = data[0] & 1 ? VORN_VORNHOLD : VORN_VORNHOLD2;
    const int content = data[0] >> 1 & 3;
    const uint8_t* picture = data + 1;
    const size_t length = size - 1;

    vorn_program_fields fields{};
    expect((vorn_program_read_fields(picture, length, &fields) == VORN_OK) == (length >= 26), "fields read wrongly");
    check_reveal(picture, length);
    vorn_geometry g{};
    if (vorn_check_carrier(picture, length, &g) != VORN_OK) return 0;
    expect(g.length == length && uint64_t(g.offset_raster) + uint64_t(g.height) * g.string_length <= length,
           "an accepted geometry does not fit its file");
    check_coding(picture, length, g, build, content);
    return 0;
}
