// The library's interface on memory, every function on one picture cut from the input, checked
// against the promises of vorn.h: outputs keep the input's length and head, in place equals out
// of place, and no call reads or writes beyond the buffers it is given (the sanitizers watch).
//
//   byte 0, bit 0: the build (vornhold2 when clear)
//   byte 0, bits 1-2: the content to extract (0: none, 1: hidden 1, 2: hidden 2, 3: both)
//   byte 0, bits 3-4: the fit of the picture as a hidden picture in a 7 x 5 carrier's frame
//                     (0 contain, 1 cover, 2 stretch; 3: that 7 x 5 picture covering the
//                     picture's frame instead)
//   byte 0, bits 5-7: the layout the picture is reconstructed in as a coded picture (6 and 7:
//                     unknown layouts)
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
    buffer work(std::max(encode_size, decode_size));

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
        work.resize(std::max(work.size(), decode_size));
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
    vorn_layout_scores scores{};
    expect(vorn_score_layouts(coded.data(), size, &scores) == VORN_OK, "scoring failed");
    for (const vorn_layout_score& score : scores.layout)
        for (const double figure : {score.fit, score.picture[0], score.picture[1]})
            expect(figure >= -1 && figure <= 1, "a layout's figure outside -1 to 1");

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

// Both hidden pictures of the picture read as a coded picture of `layout`, reconstructed from
// it and, as the keyed form does, in place: refused exactly where the layout holds no such
// picture, the header kept, and nothing written when the work is one byte short.
void check_reconstruction(const uint8_t* picture, size_t size, const vorn_geometry& g, vorn_layout layout)
{
    size_t work_size = 0;
    expect(vorn_reconstruct_work_size(&g, &work_size) == VORN_OK, "no reconstruction work size");
    if (work_size > max_work) return;
    buffer work(work_size);
    for (int which = 1; which <= 2; ++which) {
        const bool held = vorn_layout_holds(layout, which);
        buffer out(size, 0xEE), in_place(picture, picture + size);
        const vorn_error error =
            vorn_reconstruct(picture, size, layout, which, out.data(), out.size(), work.data(), work.size());
        expect(error == (held ? VORN_OK : VORN_ERR_ARGUMENT), "reconstruction judged the layout wrongly");
        const vorn_error keyed =
            vorn_keyed_reconstruct(in_place.data(), size, layout, which, work.data(), work.size());
        expect(keyed == error, "keyed reconstruction judged the layout otherwise");
        if (!held) continue;
        expect(std::equal(picture, picture + g.offset_raster, out.begin()) &&
                   std::equal(picture, picture + g.offset_raster, in_place.begin()),
               "reconstruction changed the head");
        for (size_t i = size_t(g.offset_raster) + size_t(g.height) * g.string_length; i < size; ++i)
            expect(out[i] == 0, "reconstruction left bytes after the raster");
        if (work_size == 0) continue;
        buffer untouched(size, 0xEE);
        expect(vorn_reconstruct(picture, size, layout, which, untouched.data(), size, work.data(), work_size - 1) ==
                   VORN_ERR_BUFFER_TOO_SMALL,
               "reconstruction took short work");
        expect(untouched == buffer(size, 0xEE), "reconstruction wrote with short work");
    }
}

// A 7 x 5 picture of its own, the other side of every fitting.
buffer small_picture()
{
    size_t length = 0;
    vorn_bmp_length(7, 5, &length);
    buffer rgb(7 * 5 * 3), bmp(length);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 37);
    vorn_bmp_from_rgb(rgb.data(), 7, 5, 7 * 3, 3, bmp.data(), bmp.size());
    return bmp;
}

// The picture fitted into the small picture's frame, or the small picture into the picture's:
// the work the size function gives is enough, a picture that fits is taken as it stands and any
// other gets its carrier's head, and the placement is what the fit promises.
void check_fitting(const uint8_t* picture, size_t size, const vorn_geometry& g, int choice)
{
    const buffer small = small_picture();
    const bool into_small = choice < 3;
    const uint8_t* carrier = into_small ? small.data() : picture;
    const size_t carrier_length = into_small ? small.size() : size;
    const uint8_t* hidden = into_small ? picture : small.data();
    const size_t hidden_length = into_small ? size : small.size();
    const vorn_fit fit = into_small ? vorn_fit(choice) : VORN_FIT_COVER;
    vorn_geometry small_g{};
    expect(vorn_check_carrier(small.data(), small.size(), &small_g) == VORN_OK, "the small picture is refused");
    const vorn_geometry& frame = into_small ? small_g : g;
    const vorn_geometry& own = into_small ? g : small_g;

    size_t work_size = 0;
    buffer framed(carrier_length, 0xEE);
    vorn_placement p{};
    const vorn_error sized = vorn_fit_work_size(&frame, &own, fit, &work_size);
    if (sized != VORN_OK) {
        expect(sized == VORN_ERR_SIZE_OVERFLOW, "no fitting work size");
        expect(vorn_fit_hidden(carrier, carrier_length, hidden, hidden_length, fit, framed.data(), framed.size(),
                               nullptr, 0, &p) == VORN_ERR_SIZE_OVERFLOW,
               "fitting took a scale its work size refused");
        return;
    }
    if (work_size > max_work) return;
    buffer work(work_size);
    const vorn_error error = vorn_fit_hidden(carrier, carrier_length, hidden, hidden_length, fit, framed.data(),
                                             framed.size(), work.data(), work.size(), &p);
    const bool empty = frame.width == 0 || frame.height == 0 || own.width == 0 || own.height == 0;
    if (error != VORN_OK) {
        expect(empty && (error == VORN_ERR_WIDTH_DIFFERS || error == VORN_ERR_HEIGHT_DIFFERS),
               "fitting refused two sound pictures");
        return;
    }
    if (vorn_check_hidden(&frame, hidden, hidden_length) == VORN_OK)
        expect(std::equal(hidden, hidden + hidden_length, framed.begin()), "fitting changed a picture that fits");
    else
        expect(std::equal(carrier, carrier + frame.offset_raster, framed.begin()), "fitting lost the carrier's head");
    expect(p.width == own.width && p.height == own.height, "the placement names another picture");
    const bool scaled = p.scaled_width != p.width || p.scaled_height != p.height;
    if (!scaled) return;
    if (fit == VORN_FIT_CONTAIN)
        expect(p.scaled_width <= frame.width && p.scaled_height <= frame.height, "contain crossed the frame");
    if (fit == VORN_FIT_COVER)
        expect(p.scaled_width >= frame.width && p.scaled_height >= frame.height, "cover left a bar");
    if (fit == VORN_FIT_STRETCH)
        expect(p.scaled_width == frame.width && p.scaled_height == frame.height, "stretch missed the frame");
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
    check_reconstruction(picture, length, g, vorn_layout(data[0] >> 5));
    check_fitting(picture, length, g, data[0] >> 3 & 3);
    return 0;
}
