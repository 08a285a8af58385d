// The coder's fast paths (encoding streamed row by row, decoding in one pass) against the plain
// whole-raster paths: the same bytes and the same messages, on awkward geometries.
#include <optional>

#include "bmp.h"
#include "decode.h"
#include "stages.h"
#include "streamed.h"
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

struct run_output {
    bytes image;
    std::string console;
};

template <class Run>
run_output capture(bytes image, Run run)
{
    recorder().console.clear();
    run(image.data());
    return {image, recorder().console};
}

TEST(fast_paths, give_the_plain_paths_bytes_and_messages)
{
    reset_recorder();
    for (const geometry_case& c : geometries) {
        const bytes main = bmp_noise(c.width, c.height, 1, c.trailing);
        raster_geometry g{};
        ASSERT_EQ(check_main_header(main.data(), uint32_t(main.size()), g), header_check::accepted);
        const size_t count = g.length - g.offset_raster;
        for (coder_build build : all_builds) {
            for (int present = 0; present < 4; ++present) {
                SCOPED_TRACE(std::string(build_name(build)) + " " + std::to_string(c.width) + "x" +
                             std::to_string(c.height) + "+" + std::to_string(c.trailing) +
                             " hidden " + std::to_string(present));
                std::optional<bytes> hidden1, hidden2;
                if (present & 1) hidden1 = bmp_noise(c.width, c.height, 2, c.trailing);
                if (present & 2) hidden2 = bmp_noise(c.width, c.height, 3, c.trailing);
                auto data = [](std::optional<bytes>& b) { return b ? b->data() : nullptr; };

                std::optional<bytes> plain1 = hidden1, plain2 = hidden2;
                std::vector<int32_t> value(count), fixed(count);
                const run_output plain = capture(main, [&](uint8_t* image) {
                    encode_layers_plain(image, data(plain1), data(plain2), {value.data(), fixed.data(), count}, g, build);
                });
                std::vector<uint32_t> shares(share_entries(g));
                std::vector<uint8_t> lower(lower_row_bytes(g));
                const run_output fast = capture(main, [&](uint8_t* image) {
                    encode_layers(image, data(hidden1), data(hidden2), {shares.data(), lower.data()}, g, build);
                });
                EXPECT_EQ(fast.console, plain.console);
                ASSERT_EQ(fast.image, plain.image);

                // Decoding the coded picture, both ways.
                bytes plain_first = plain.image, plain_second = plain.image;  // the header as decoding copies it
                bytes first(main.size());
                const run_output plain_decode = capture(plain.image, [&](uint8_t* coded) {
                    decode_rasters_plain(coded, plain_first.data(), plain_second.data(), g, build);
                });
                const run_output fast_decode = capture(plain.image, [&](uint8_t* coded) {
                    const bool permuted = announce_decoded_permutation(g);
                    // Pieces of an awkward size, so that every boundary falls somewhere new.
                    for (size_t at = 0; at < first.size(); at += 7)
                        first_decoded_piece(coded, g, at, std::min<size_t>(7, first.size() - at), first.data() + at);
                    std::vector<uint32_t> spare(size_t(g.width) * 3 + 1);  // 10 * width + 2 bytes, aligned
                    second_decoded_in_place(coded, g, build, permuted, reinterpret_cast<uint8_t*>(spare.data()));
                });
                EXPECT_EQ(fast_decode.console, plain_decode.console);
                EXPECT_EQ(first, plain_first);
                EXPECT_EQ(fast_decode.image, plain_second);  // the coded picture becomes Decoded_2
            }
        }
    }
}

}  // namespace
