// The engine's fast paths (encoding streamed row by row, decoding in one pass) against the plain
// whole-raster reference: the same bytes and the same report, on awkward geometries.
#include <optional>

#include "reference.h"
#include "test_support.h"

namespace {

struct geometry_case {
    int32_t width, height;
    uint32_t trailing;  // bytes after the last row
};

// Widths 1, 2, 3 and 5 (padding of 1 to 3 bytes), height 1, powers of two and not, width 0 and
// height 0, and sides past 256 (the column reversal takes its table in two steps there).
const geometry_case geometries[] = {
    {1, 1, 0},  {1, 4, 3},  {2, 1, 0},  {2, 2, 0},   {3, 5, 2},   {5, 3, 0},   {5, 1, 1},
    {4, 2, 0},  {2, 4, 1},  {6, 2, 0},  {8, 8, 0},   {16, 4, 7},  {32, 16, 2}, {12, 7, 0},
    {0, 3, 4},  {4, 0, 6},  {512, 4, 1}, {1024, 2, 0}, {2, 512, 0}, {300, 3, 2},
};

TEST(fast_paths, give_the_plain_paths_bytes_and_report)
{
    for (const geometry_case& c : geometries) {
        const bytes main = bmp_noise(c.width, c.height, 1, c.trailing);
        raster_geometry g{};
        ASSERT_EQ(vorn_check_carrier(main.data(), main.size(), &g), VORN_OK);
        const size_t count = g.length - g.offset_raster;
        for (coder_build coder : all_builds) {
            const vorn_build build = engine_build(coder);
            for (int present = 0; present < 4; ++present) {
                SCOPED_TRACE(std::string(build_name(coder)) + " " + std::to_string(c.width) + "x" +
                             std::to_string(c.height) + "+" + std::to_string(c.trailing) +
                             " hidden " + std::to_string(present));
                std::optional<bytes> hidden1, hidden2;
                if (present & 1) hidden1 = bmp_noise(c.width, c.height, 2, c.trailing);
                if (present & 2) hidden2 = bmp_noise(c.width, c.height, 3, c.trailing);
                auto data = [](std::optional<bytes>& b) { return b ? b->data() : nullptr; };
                auto size = [](std::optional<bytes>& b) { return b ? b->size() : 0; };

                std::optional<bytes> plain1 = hidden1, plain2 = hidden2;
                std::vector<int32_t> value(count), fixed(count);
                bytes plain = main;
                const plain_permutations plain_moves = encode_layers_plain(
                    plain.data(), data(plain1), data(plain2), {value.data(), fixed.data(), count}, g, build);

                size_t work_size = 0;
                ASSERT_EQ(vorn_encode_work_size(&g, &work_size), VORN_OK);
                std::vector<uint8_t> work(work_size);
                bytes fast = main;
                int refused = -1;
                ASSERT_EQ(vorn_encode(fast.data(), fast.size(), data(hidden1), size(hidden1), data(hidden2),
                                      size(hidden2), build, work.data(), work_size, &refused),
                          VORN_OK);
                ASSERT_EQ(fast, plain);
                EXPECT_EQ(refused, 0);
                // The scrambled layer is hidden 1, else hidden 2 alone, and only when the engine says so.
                const bool scrambles = vorn_scrambles(&g);
                EXPECT_EQ(plain_moves.hidden1, (present & 1) && scrambles);
                EXPECT_EQ(plain_moves.hidden2, present == 2 && scrambles);

                // Decoding the coded picture, both ways.
                bytes plain_first = plain, plain_second = plain;  // the header as decoding copies it
                bytes coded = plain;
                const bool plain_unscrambled =
                    decode_rasters_plain(coded.data(), plain_first.data(), plain_second.data(), g, build);
                bytes first(main.size());
                // Pieces of an awkward size, so that every boundary falls somewhere new.
                for (size_t at = 0; at < first.size(); at += 7)
                    ASSERT_EQ(vorn_program_decode1_piece(plain.data(), &g, at, std::min<size_t>(7, first.size() - at),
                                                 first.data() + at),
                              VORN_OK);
                EXPECT_EQ(first, plain_first);
                ASSERT_EQ(vorn_program_decode_work_size(&g, &work_size), VORN_OK);
                std::vector<uint8_t> spare(work_size);
                bytes whole_first(main.size()), second = plain;  // the coded picture becomes Decoded_2
                ASSERT_EQ(vorn_program_decode(second.data(), second.size(), build, whole_first.data(),
                                              second.data(), spare.data(), work_size),
                          VORN_OK);
                EXPECT_EQ(whole_first, plain_first);
                EXPECT_EQ(second, plain_second);
                EXPECT_EQ(scrambles, plain_unscrambled);
            }
        }
    }
}

}  // namespace
