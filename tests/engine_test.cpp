// The library's interface on memory: an error per outcome, the hidden pictures it gives back,
// the equivalent BMP of a picture from elsewhere, and sizes that never wrap.
#include <cstdlib>
#include <optional>

#include "encode.h"
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

TEST(engine, refuses_bad_arguments_and_short_work_without_writing)
{
    bytes carrier = bmp_noise(8, 8, 1);
    const bytes before = carrier;
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(carrier.data(), carrier.size(), &g), VORN_OK);
    size_t work_size = 0, decode_size = 0;
    ASSERT_EQ(vorn_encode_work_size(&g, &work_size), VORN_OK);
    ASSERT_EQ(vorn_decode_work_size(&g, &decode_size), VORN_OK);
    std::vector<uint32_t> work(work_size);
    uint8_t* c = carrier.data();
    const size_t n = carrier.size();
    EXPECT_EQ(vorn_encode(c, c, n, nullptr, 0, nullptr, 0, VORN_VORNHOLD, work.data(), work_size - 1, nullptr),
              VORN_ERR_WORK_TOO_SMALL);
    EXPECT_EQ(vorn_encode(c, c, n, nullptr, 0, nullptr, 0, vorn_build(7), work.data(), work_size, nullptr),
              VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_encode(c, c, n - 1, nullptr, 0, nullptr, 0, VORN_VORNHOLD, work.data(), work_size, nullptr),
              VORN_ERR_RASTER_BEYOND_END);
    EXPECT_EQ(vorn_decode(c, n, VORN_VORNHOLD2, nullptr, c, work.data(), decode_size - 1, nullptr),
              VORN_ERR_WORK_TOO_SMALL);
    EXPECT_EQ(vorn_decode1_piece(c, &g, n - 3, 4, work.data() ? reinterpret_cast<uint8_t*>(work.data()) : nullptr),
              VORN_ERR_RANGE);
    EXPECT_EQ(vorn_extract(c, n, VORN_VORNHOLD, VORN_HOLDS_HIDDEN1, 2, reinterpret_cast<uint8_t*>(work.data())),
              VORN_ERR_ARGUMENT);
    EXPECT_EQ(carrier, before);
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
            for (const vorn_content content : {VORN_HOLDS_HIDDEN1, VORN_HOLDS_HIDDEN2, VORN_HOLDS_BOTH}) {
                bytes hidden[2] = {sources[0], sources[1]};
                size_t work_size = 0;
                vorn_encode_work_size(&g, &work_size);
                std::vector<uint32_t> work(work_size / 4 + 1);
                bytes coded(main.size());
                const bool has1 = content & 1, has2 = content & 2;
                ASSERT_EQ(vorn_encode(coded.data(), main.data(), main.size(), has1 ? hidden[0].data() : nullptr,
                                      main.size(), has2 ? hidden[1].data() : nullptr, main.size(), build,
                                      work.data(), work_size, nullptr),
                          VORN_OK);
                for (int which = 1; which <= 2; ++which) {
                    if (!(content & which)) continue;
                    SCOPED_TRACE(std::to_string(g.width) + "x" + std::to_string(g.height) + " build " +
                                 std::to_string(build) + " content " + std::to_string(content) + " picture " +
                                 std::to_string(which));
                    bytes picture(main.size());
                    ASSERT_EQ(vorn_extract(coded.data(), coded.size(), build, content, which, picture.data()),
                              VORN_OK);
                    const int bits = content == VORN_HOLDS_HIDDEN2 ? 4 : 2;
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
    bytes rgb(size_t(g.width) * g.height * 3);
    ASSERT_EQ(vorn_bmp_to_rgb(sample.data(), sample.size(), rgb.data()), VORN_OK);
    size_t length = 0;
    ASSERT_EQ(vorn_bmp_length(g.width, g.height, &length), VORN_OK);
    bytes again(length);
    ASSERT_EQ(vorn_bmp_from_rgb(rgb.data(), g.width, g.height, size_t(g.width) * 3, 3, again.data()), VORN_OK);
    EXPECT_EQ(again, sample);

    // Odd widths get zero padding; four channels drop the fourth; the top row is stored last.
    const uint8_t rgba[2][3][4] = {{{1, 2, 3, 9}, {4, 5, 6, 9}, {7, 8, 9, 9}},
                                   {{10, 11, 12, 9}, {13, 14, 15, 9}, {16, 17, 18, 9}}};
    ASSERT_EQ(vorn_bmp_length(3, 2, &length), VORN_OK);
    bytes small(length, 0xEE);
    ASSERT_EQ(vorn_bmp_from_rgb(&rgba[0][0][0], 3, 2, 12, 4, small.data()), VORN_OK);
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
    EXPECT_EQ(vorn_encode_work_size(&widest, &size), wide_size_t ? VORN_OK : VORN_ERR_NO_MEMORY);
}

}  // namespace
