// The library's interface on memory: an error per outcome, the hidden pictures it gives back,
// the equivalent BMP of a picture from elsewhere, and sizes that never wrap.
#include <cstdlib>
#include <functional>
#include <optional>

#include "encode.h"
#include "frame.h"
#include "sizes.h"
#include "test_support.h"

namespace {

bytes with_le32(bytes b, size_t offset, uint32_t value)
{
    put_le32(b, offset, value);
    return b;
}

bytes with_le16(bytes b, size_t offset, uint16_t value)
{
    put_le16(b, offset, value);
    return b;
}

TEST(engine, names_the_first_fault_of_a_carrier_or_hidden_picture)
{
    const bytes sound = bmp_file(4, 2, 0x80);
    struct {
        const char* name;
        bytes file;
        vorn_error carrier, hidden;  // as a carrier, and as a hidden picture beside `sound`
    } const cases[] = {
        {"sound", sound, VORN_OK, VORN_OK},
        {"29 bytes", bytes(sound.begin(), sound.begin() + 29), VORN_ERR_HEADER_TOO_SHORT, VORN_ERR_LENGTH_DIFFERS},
        {"magic", with_le16(sound, 0, 0x4D41), VORN_ERR_NOT_BMP, VORN_ERR_NOT_BMP},
        {"32 bits", with_le16(sound, 28, 32), VORN_ERR_BIT_COUNT, VORN_ERR_BIT_COUNT},
        {"negative height", with_le32(sound, 22, uint32_t(-2)), VORN_ERR_NEGATIVE_SIZE, VORN_ERR_HEIGHT_DIFFERS},
        {"row of 2 GiB", with_le32(with_le32(sound, 22, 0), 18, 0x2AAAAAAB), VORN_ERR_ROW_TOO_LONG,
         VORN_ERR_WIDTH_DIFFERS},
        {"one row too many", with_le32(sound, 22, 3), VORN_ERR_RASTER_BEYOND_END, VORN_ERR_HEIGHT_DIFFERS},
        {"other offset", with_le32(sound, 10, 53), VORN_OK, VORN_ERR_OFFSET_DIFFERS},
        {"longer", [&] { bytes b = sound; b.push_back(0); return b; }(), VORN_OK, VORN_ERR_LENGTH_DIFFERS},
    };
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(sound.data(), sound.size(), &g), VORN_OK);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vorn_geometry other{};
        EXPECT_EQ(vorn_check_carrier(c.file.data(), c.file.size(), &other), c.carrier);
        EXPECT_EQ(vorn_check_hidden(&g, c.file.data(), c.file.size()), c.hidden);
        EXPECT_STRNE(vorn_strerror(c.carrier), "unknown error");
    }
}

// Every call that takes `work, work_size` follows one rule: work may be null exactly when its
// size is 0, and a size below what the call needs is too small, whether work is null or not.
TEST(engine, work_may_be_null_exactly_when_its_size_is_0)
{
    const bytes square = bmp_noise(8, 8, 3), small = bmp_noise(4, 4, 5), odd = bmp_noise(3, 5, 7);
    const bytes empty = bmp_file(6, 0, 0);
    using work_call = std::function<vorn_error(void*, size_t)>;
    const auto encode = [](const bytes& carrier) -> work_call {
        return [carrier](void* work, size_t size) {
            bytes image = carrier, hidden = carrier;
            return vorn_encode(image.data(), image.size(), hidden.data(), hidden.size(), nullptr, 0,
                               VORN_VORNHOLD2, work, size, nullptr);
        };
    };
    const auto decode = [](const bytes& coded) -> work_call {
        return [coded](void* work, size_t size) {
            bytes second(coded.size());
            return vorn_program_decode(coded.data(), coded.size(), VORN_VORNHOLD2, nullptr, second.data(), work, size);
        };
    };
    const auto fit = [&square](const bytes& hidden) -> work_call {
        return [&square, hidden](void* work, size_t size) {
            bytes framed(square.size());
            return vorn_fit_hidden(square.data(), square.size(), hidden.data(), hidden.size(), VORN_FIT_COVER,
                                   framed.data(), framed.size(), work, size, nullptr);
        };
    };
    const work_call reconstruct = [&square](void* work, size_t size) {
        bytes picture(square.size());
        return vorn_reconstruct(square.data(), square.size(), VORN_LAYOUT_BOTH_VORNHOLD2, 2, picture.data(),
                                picture.size(), work, size);
    };
    const work_call keyed_reconstruct = [&square](void* work, size_t size) {
        bytes picture = square;
        return vorn_keyed_reconstruct(picture.data(), picture.size(), VORN_LAYOUT_HIDDEN1, 1, work, size);
    };
    const auto sizes = [](vorn_error (*size_of)(const vorn_geometry*, size_t*), const bytes& image) {
        vorn_geometry g{};
        size_t size = 0;
        EXPECT_EQ(vorn_check_carrier(image.data(), image.size(), &g), VORN_OK);
        EXPECT_EQ(size_of(&g, &size), VORN_OK);
        return size;
    };
    const auto fit_size = [&square](const bytes& hidden) {
        vorn_geometry frame{}, own{};
        size_t size = 0;
        vorn_check_carrier(square.data(), square.size(), &frame);
        vorn_check_carrier(hidden.data(), hidden.size(), &own);
        EXPECT_EQ(vorn_fit_work_size(&frame, &own, VORN_FIT_COVER, &size), VORN_OK);
        return size;
    };
    struct {
        const char* name;
        work_call call;
        size_t needed;  // as the call's work size function gives it
        bool needs_work;
    } const cases[] = {
        {"encode", encode(square), sizes(vorn_encode_work_size, square), true},
        {"encode, no rows", encode(empty), sizes(vorn_encode_work_size, empty), false},
        {"decode, scrambled", decode(square), sizes(vorn_program_decode_work_size, square), true},
        {"decode, in place", decode(odd), 0, false},
        {"reconstruct", reconstruct, sizes(vorn_reconstruct_work_size, square), true},
        {"keyed reconstruct", keyed_reconstruct, sizes(vorn_reconstruct_work_size, square), true},
        {"fit, scaled", fit(small), fit_size(small), true},
        {"fit, the frame's size", fit(square), fit_size(square), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.needed > 0, c.needs_work);
        std::vector<uint8_t> work(c.needed + 1);
        EXPECT_EQ(c.call(nullptr, 0), c.needs_work ? VORN_ERR_BUFFER_TOO_SMALL : VORN_OK);
        EXPECT_EQ(c.call(nullptr, c.needed + 1), VORN_ERR_ARGUMENT);
        EXPECT_EQ(c.call(work.data(), c.needed), VORN_OK);
        if (c.needs_work) {
            EXPECT_EQ(c.call(work.data(), c.needed - 1), VORN_ERR_BUFFER_TOO_SMALL);
        }
    }
}

TEST(engine, the_programs_library_leaves_out_the_calls_that_need_a_key)
{
    EXPECT_EQ(vorn_has_keyed(), 0);
    // The keyed calls that need no key are there all the same.
    const bytes flat = bmp_file(64, 64, 0x40);
    int likely = -1;
    EXPECT_EQ(vorn_keyed_likely(flat.data(), flat.size(), &likely), VORN_OK);
    EXPECT_EQ(likely, 0);
}

TEST(engine, refuses_bad_arguments_and_short_work_without_writing)
{
    bytes carrier = bmp_noise(8, 8, 1);
    const bytes before = carrier;
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(carrier.data(), carrier.size(), &g), VORN_OK);
    size_t work_size = 0, decode_size = 0;
    ASSERT_EQ(vorn_encode_work_size(&g, &work_size), VORN_OK);
    ASSERT_EQ(vorn_program_decode_work_size(&g, &decode_size), VORN_OK);
    std::vector<uint32_t> work(work_size);
    uint8_t* c = carrier.data();
    const size_t n = carrier.size();
    bytes out(n);
    EXPECT_EQ(vorn_encode(c, n, nullptr, 0, nullptr, 0, VORN_VORNHOLD, work.data(), work_size - 1, nullptr),
              VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_encode(c, n, nullptr, 0, nullptr, 0, vorn_build(7), work.data(), work_size, nullptr),
              VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_encode(c, n - 1, nullptr, 0, nullptr, 0, VORN_VORNHOLD, work.data(), work_size, nullptr),
              VORN_ERR_RASTER_BEYOND_END);
    EXPECT_EQ(vorn_program_decode(c, n, VORN_VORNHOLD2, nullptr, c, work.data(), decode_size - 1),
              VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_program_decode1_piece(c, &g, n - 3, 4, out.data()), VORN_ERR_RANGE);
    // Outputs shorter than the picture, and layouts that do not hold the picture asked for.
    EXPECT_EQ(vorn_extract(c, n, VORN_LAYOUT_HIDDEN1, 2, out.data(), n), VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_extract(c, n, VORN_LAYOUT_NONE, 1, out.data(), n), VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_extract(c, n, vorn_layout(9), 1, out.data(), n), VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_extract(c, n, VORN_LAYOUT_HIDDEN1, 1, out.data(), n - 1), VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_reveal(c, n, out.data(), n - 1), VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_bmp_to_rgb(c, n, out.data(), 8 * 8 * 3 - 1), VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_bmp_from_rgb(out.data(), 8, 8, 24, 3, out.data() + 1, n - 1), VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(carrier, before);
}

// A hidden picture that does not fit stops the encoding before anything is written, and the
// caller learns which one and why.
TEST(engine, encode_names_the_hidden_picture_it_refuses)
{
    const bytes carrier = bmp_noise(4, 2, 1);
    const bytes fits = bmp_noise(4, 2, 2), narrower = with_le32(fits, 18, 2);
    const bytes v32 = with_le16(fits, 28, 32);
    struct {
        const bytes* hidden1;
        const bytes* hidden2;
        vorn_error error;
        int refused;
    } const cases[] = {
        {&fits, &fits, VORN_OK, 0},
        {&narrower, &fits, VORN_ERR_WIDTH_DIFFERS, 1},
        {&fits, &v32, VORN_ERR_BIT_COUNT, 2},
        {nullptr, &narrower, VORN_ERR_WIDTH_DIFFERS, 2},
        {&v32, &narrower, VORN_ERR_BIT_COUNT, 1},
    };
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(carrier.data(), carrier.size(), &g), VORN_OK);
    size_t work_size = 0;
    ASSERT_EQ(vorn_encode_work_size(&g, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& c = cases[i];
        bytes image = carrier, h1 = c.hidden1 ? *c.hidden1 : bytes{}, h2 = c.hidden2 ? *c.hidden2 : bytes{};
        int refused = -1;
        EXPECT_EQ(vorn_encode(image.data(), image.size(), c.hidden1 ? h1.data() : nullptr, h1.size(),
                              c.hidden2 ? h2.data() : nullptr, h2.size(), VORN_VORNHOLD2, work.data(), work_size,
                              &refused),
                  c.error);
        EXPECT_EQ(refused, c.refused);
        if (c.error != VORN_OK) {
            EXPECT_EQ(image, carrier);
        }
    }
}

// The layouts hold the pictures encoding was given, and a picture encoded without hidden
// pictures is told apart for certain (how well the others are guessed is measured with vorn).
TEST(engine, layouts_hold_what_encoding_was_given_and_none_is_detected_for_certain)
{
    const bytes main = bmp_noise(16, 8, 1, 3), sources[2] = {bmp_noise(16, 8, 2, 3), bmp_noise(16, 8, 3, 3)};
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(main.data(), main.size(), &g), VORN_OK);
    size_t work_size = 0;
    ASSERT_EQ(vorn_encode_work_size(&g, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    for (const vorn_build build : {VORN_VORNHOLD2, VORN_VORNHOLD}) {
        for (int present = 0; present < 4; ++present) {
            SCOPED_TRACE(std::to_string(build) + " hidden " + std::to_string(present));
            const vorn_layout layout = vorn_layout_of(build, present & 1, present & 2);
            for (int which = 1; which <= 2; ++which)
                EXPECT_EQ(vorn_layout_holds(layout, which), (present & which) != 0);
            bytes coded = main, h1 = sources[0], h2 = sources[1];
            ASSERT_EQ(vorn_encode(coded.data(), coded.size(), present & 1 ? h1.data() : nullptr, h1.size(),
                                  present & 2 ? h2.data() : nullptr, h2.size(), build, work.data(), work_size,
                                  nullptr),
                      VORN_OK);
            vorn_layout found = vorn_layout(-1);
            ASSERT_EQ(vorn_detect(coded.data(), coded.size(), &found), VORN_OK);
            EXPECT_EQ(found == VORN_LAYOUT_NONE, present == 0);
            // Scores: nothing hidden is certain; every figure lies in -1 to 1, and a layout
            // scores its own pictures only.
            vorn_layout_scores scores{};
            ASSERT_EQ(vorn_score_layouts(coded.data(), coded.size(), &scores), VORN_OK);
            EXPECT_EQ(scores.low_bits != 0, present != 0);
            for (int i = 0; i < VORN_LAYOUT_COUNT; ++i)
                for (int which = 1; which <= 2; ++which) {
                    const vorn_layout_score& score = scores.layout[i];
                    EXPECT_TRUE(score.fit >= -1 && score.fit <= 1);
                    EXPECT_TRUE(score.picture[which - 1] >= -1 && score.picture[which - 1] <= 1);
                    if (!vorn_layout_holds(vorn_layout(i), which) || present == 0) {
                        EXPECT_EQ(score.picture[which - 1], -1);
                    }
                }
            EXPECT_EQ(scores.layout[VORN_LAYOUT_NONE].fit, -1);
        }
    }
    EXPECT_EQ(vorn_layout_of(vorn_build(7), 1, 1), VORN_LAYOUT_NONE);
    vorn_layout_scores scores{};
    EXPECT_EQ(vorn_score_layouts(nullptr, main.size(), &scores), VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_score_layouts(main.data(), main.size(), nullptr), VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_score_layouts(main.data(), 20, &scores), VORN_ERR_HEADER_TOO_SHORT);
}

// Hidden pictures come back on their own within one level of their truncation at every pixel
// (dithering moves a value by less than one level), and exactly at padding and trailing bytes.
TEST(engine, extract_gives_each_hidden_picture_back_in_place_at_full_range)
{
    struct {
        int32_t width, height;
        uint32_t trailing;
    } const geometries[] = {{16, 8, 3}, {6, 5, 2}, {1, 1, 0}};
    for (const auto& geometry : geometries) {
        const bytes main = bmp_noise(geometry.width, geometry.height, 1, geometry.trailing);
        const bytes sources[2] = {bmp_noise(geometry.width, geometry.height, 2, geometry.trailing),
                                  bmp_noise(geometry.width, geometry.height, 3, geometry.trailing)};
        vorn_geometry g{};
        ASSERT_EQ(vorn_check_carrier(main.data(), main.size(), &g), VORN_OK);
        for (const vorn_build build : {VORN_VORNHOLD2, VORN_VORNHOLD}) {
            for (const int content : {1, 2, 3}) {
                bytes hidden[2] = {sources[0], sources[1]};
                size_t work_size = 0;
                vorn_encode_work_size(&g, &work_size);
                std::vector<uint8_t> work(work_size);
                bytes coded = main;
                const bool has1 = content & 1, has2 = content & 2;
                const vorn_layout layout = vorn_layout_of(build, has1, has2);
                ASSERT_EQ(vorn_encode(coded.data(), coded.size(), has1 ? hidden[0].data() : nullptr,
                                      main.size(), has2 ? hidden[1].data() : nullptr, main.size(), build,
                                      work.data(), work_size, nullptr),
                          VORN_OK);
                for (int which = 1; which <= 2; ++which) {
                    if (!(content & which)) continue;
                    SCOPED_TRACE(std::to_string(g.width) + "x" + std::to_string(g.height) + " build " +
                                 std::to_string(build) + " content " + std::to_string(content) + " picture " +
                                 std::to_string(which));
                    bytes picture(main.size());
                    ASSERT_EQ(vorn_extract(coded.data(), coded.size(), layout, which, picture.data(), picture.size()),
                              VORN_OK);
                    const int bits = content == 2 ? 4 : 2;
                    const int scale = bits == 4 ? 17 : 85;
                    for (size_t i = 0; i < main.size(); ++i) {
                        const uint8_t source = sources[which - 1][i];
                        if (i < g.offset_raster) {
                            ASSERT_EQ(picture[i], main[i]) << i;
                            continue;
                        }
                        const size_t r = i - g.offset_raster;
                        const bool pixel = r / g.string_length < g.height && r % g.string_length < g.width * 3;
                        ASSERT_EQ(picture[i] % scale, 0) << i;
                        const int diff = std::abs(picture[i] / scale - (source >> (8 - bits)));
                        ASSERT_LE(diff, pixel ? 1 : 0) << i;
                    }
                }
            }
        }
    }
}

TEST(engine, pictures_from_elsewhere_become_the_converters_bmp_and_back)
{
    // The sample pictures were written by an image converter: the same header, byte for byte.
    const bytes sample = read_file(std::filesystem::path(VORN_SAMPLES_DIR) / "Main.bmp");
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(sample.data(), sample.size(), &g), VORN_OK);
    size_t length = 0;
    ASSERT_EQ(vorn_rgb_length(&g, &length), VORN_OK);
    ASSERT_EQ(length, size_t(g.width) * g.height * 3);
    bytes rgb(length);
    ASSERT_EQ(vorn_bmp_to_rgb(sample.data(), sample.size(), rgb.data(), rgb.size()), VORN_OK);
    ASSERT_EQ(vorn_bmp_length(g.width, g.height, &length), VORN_OK);
    bytes again(length);
    ASSERT_EQ(vorn_bmp_from_rgb(rgb.data(), g.width, g.height, size_t(g.width) * 3, 3, again.data(), again.size()),
              VORN_OK);
    EXPECT_EQ(again, sample);

    // Odd widths get zero padding; four channels drop the fourth; the top row is stored last.
    const uint8_t rgba[2][3][4] = {{{1, 2, 3, 9}, {4, 5, 6, 9}, {7, 8, 9, 9}},
                                   {{10, 11, 12, 9}, {13, 14, 15, 9}, {16, 17, 18, 9}}};
    ASSERT_EQ(vorn_bmp_length(3, 2, &length), VORN_OK);
    bytes small(length, 0xEE);
    ASSERT_EQ(vorn_bmp_from_rgb(&rgba[0][0][0], 3, 2, 12, 4, small.data(), small.size()), VORN_OK);
    EXPECT_EQ(bytes(small.begin() + 54, small.end()),
              (bytes{12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0, 3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}));
}

TEST(engine, sizes_that_do_not_fit_are_refused_rather_than_wrapped)
{
    size_t length = 0;
    EXPECT_EQ(vorn_bmp_length(65536, 65536, &length), VORN_ERR_FILE_TOO_LONG);
    EXPECT_EQ(vorn_bmp_length(0x80000000u, 1, &length), VORN_ERR_FILE_TOO_LONG);
    // Work rows for a row of 2^31 - 2 bytes: about 18 GiB, which a 32-bit size_t cannot hold.
    const vorn_geometry widest{0xFFFFFFFF, 54, 715827882, 1, 0x7FFFFFFE};
    EXPECT_FALSE(size_fits(stage_rows_bytes(widest), UINT32_MAX));
    const bool wide_size_t = sizeof(size_t) > 4;
    size_t size = 0;
    EXPECT_EQ(vorn_encode_work_size(&widest, &size), wide_size_t ? VORN_OK : VORN_ERR_SIZE_OVERFLOW);

    // A header may claim such a row over no rows at all, in a file of 54 bytes: no call takes
    // work for it, and reconstruction still gives the (empty) picture.
    const bytes no_rows = with_le32(bmp_file(0, 0, 0), 18, 700000000);
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(no_rows.data(), no_rows.size(), &g), VORN_OK);
    for (const auto size_of : {vorn_encode_work_size, vorn_program_decode_work_size, vorn_reconstruct_work_size,
                               vorn_keyed_work_size}) {
        size = 1;
        EXPECT_EQ(size_of(&g, &size), VORN_OK);
        EXPECT_EQ(size, 0u);
    }
    bytes picture(no_rows.size());
    EXPECT_EQ(vorn_reconstruct(no_rows.data(), no_rows.size(), VORN_LAYOUT_HIDDEN1, 1, picture.data(), picture.size(),
                               nullptr, 0),
              VORN_OK);
    EXPECT_EQ(picture, no_rows);
}

}  // namespace

namespace {

// A hidden picture goes into the carrier's frame: as it stands when it fits, otherwise its
// pixels under the carrier's header and in its raster layout.
TEST(engine, frame_hidden_places_a_picture_of_another_header_in_the_carriers_frame)
{
    const bytes carrier = bmp_noise(3, 2, 1, 2);  // rows padded, two trailing bytes
    const bytes same = bmp_noise(3, 2, 2, 2);
    // The same pixels behind a longer header and without trailing bytes.
    bytes other = bmp_noise(3, 2, 3);
    other.insert(other.begin() + 54, 84, 0x11);
    put_le32(other, 10, 54 + 84);
    struct {
        const char* name;
        bytes hidden;
        size_t framed_length;
        vorn_error error;
    } const cases[] = {
        {"fits", same, carrier.size(), VORN_OK},
        {"other header", other, carrier.size(), VORN_OK},
        {"wider", bmp_noise(4, 2, 4), carrier.size(), VORN_ERR_WIDTH_DIFFERS},
        {"taller", bmp_noise(3, 3, 4), carrier.size(), VORN_ERR_HEIGHT_DIFFERS},
        {"not a BMP", with_le16(other, 0, 0x4D41), carrier.size(), VORN_ERR_NOT_BMP},
        {"short output", other, carrier.size() - 1, VORN_ERR_BUFFER_TOO_SMALL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bytes framed(c.framed_length, 0xEE);
        ASSERT_EQ(frame_hidden(carrier.data(), carrier.size(), c.hidden.data(), c.hidden.size(), framed.data(),
                                    framed.size()),
                  c.error);
        if (c.error != VORN_OK) continue;
        vorn_geometry g{}, own{};
        ASSERT_EQ(vorn_check_carrier(framed.data(), framed.size(), &g), VORN_OK);
        ASSERT_EQ(vorn_check_hidden(&g, framed.data(), framed.size()), VORN_OK);
        ASSERT_EQ(vorn_check_carrier(c.hidden.data(), c.hidden.size(), &own), VORN_OK);
        bytes framed_rgb(18), hidden_rgb(18);
        ASSERT_EQ(vorn_bmp_to_rgb(framed.data(), framed.size(), framed_rgb.data(), framed_rgb.size()), VORN_OK);
        ASSERT_EQ(vorn_bmp_to_rgb(c.hidden.data(), c.hidden.size(), hidden_rgb.data(), hidden_rgb.size()), VORN_OK);
        EXPECT_EQ(framed_rgb, hidden_rgb);
        if (c.hidden.size() != carrier.size()) {
            EXPECT_TRUE(std::equal(carrier.begin(), carrier.begin() + 54, framed.begin()));
            EXPECT_EQ(framed[54 + 9], 0);  // row padding
            EXPECT_EQ(framed.back(), 0);   // trailing byte
        }
    }
    // In place only when nothing has to move.
    bytes in_place = same;
    EXPECT_EQ(frame_hidden(carrier.data(), carrier.size(), in_place.data(), in_place.size(), in_place.data(),
                                in_place.size()),
              VORN_OK);
    EXPECT_EQ(in_place, same);
    bytes moved = bmp_noise(3, 2, 5);  // the carrier's length, its raster two bytes later
    moved.insert(moved.begin() + 54, 2, 0);
    put_le32(moved, 10, 56);
    ASSERT_EQ(moved.size(), carrier.size());
    EXPECT_EQ(frame_hidden(carrier.data(), carrier.size(), moved.data(), moved.size(), moved.data(),
                                moved.size()),
              VORN_ERR_ARGUMENT);
}

}  // namespace
