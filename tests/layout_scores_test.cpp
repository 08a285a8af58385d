// The layout scores' exact figures on the sample pictures as coded in three layouts, and the
// test of whether low bits look keyed on pictures whose rows end in padding.
#include "test_support.h"

namespace {

bytes sample(const char* name) { return read_file(std::filesystem::path(VORN_SAMPLES_DIR) / name); }

// x87 arithmetic (32-bit builds without SSE2) keeps intermediates in extended precision, so the
// last bits of a figure may differ there (figures near 0 keep few exact bits): it is held to
// within 1e-12 instead.
#if defined(__i386__) && !defined(__SSE2_MATH__)
#define EXPECT_FIGURE(actual, expected) EXPECT_NEAR(actual, expected, 1e-12)
#else
#define EXPECT_FIGURE(actual, expected) EXPECT_EQ(actual, expected)
#endif

// Every figure of vorn_score_layouts, to the last bit: the tallies behind them are sums over the
// sampled pairs, which no way of gathering them may change. Each layout's {fit, picture 1,
// picture 2}; the sample pictures are 512 x 512, so scrambled layers are read both ways.
TEST(layout_scores, are_the_figures_the_sampled_pairs_give)
{
    struct {
        coder_build build;
        bool hidden1, hidden2;
        double figures[VORN_LAYOUT_COUNT][3];
    } const cases[] = {
        {coder_build::vornhold2, true, true,
         {{-1, -1, -1},
          {-1, -0x1.3788c1c8716bcp-2, -1},
          {-1, -1, -0x1.c8861ddd5fa82p-5},
          {-1, -1, 0x1.d4b2a69e0146ep-3},
          {-0x1.3788c1c8716bcp-2, -0x1.3788c1c8716bcp-2, 0x1.242a55deefb53p-5},
          {0x1.f68aea31379dfp-1, 0x1.f68aea31379dfp-1, 0x1.fce132acb4cc4p-1}}},
        {coder_build::vornhold, false, true,
         {{-1, -1, -1},
          {-0x1.ccdbb200edddfp-1, 0x1.db5a366902efap-2, -1},
          {0x1.f043dc9852e8cp-1, -1, 0x1.f043dc9852e8cp-1},
          {-1, -1, -0x1.a11e577392d71p-4},
          {0x1.db5a366902efap-2, 0x1.db5a366902efap-2, 0x1.fca167ade74acp-2},
          {-0x1.b41f7baa80acbp-2, -0x1.b41f7baa80acbp-2, 0x1.b581d55a1f4a7p-6}}},
        {coder_build::vornhold2, true, false,
         {{-1, -1, -1},
          {0x1.f68aea31379dfp-1, 0x1.f68aea31379dfp-1, -1},
          {-1, -1, -0x1.77982cc4522aap-8},
          {-1, -1, 0x1.cc173c3adbfd6p-4},
          {-1, 0x1.f68aea31379dfp-1, 0x1.9dd4eeaa5f73fp-3},
          {-1, -0x1.9a66bf3270267p-7, 0x1.242a55deefb53p-5}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(build_name(c.build)) + (c.hidden1 ? " hidden 1" : "") + (c.hidden2 ? " hidden 2" : ""));
        const bytes coded =
            encode_in_memory(c.build, sample("Main.bmp"), c.hidden1 ? std::optional(sample("Hidden 1.bmp")) : std::nullopt,
                             c.hidden2 ? std::optional(sample("Hidden 2.bmp")) : std::nullopt);
        vorn_layout_scores scores{};
        ASSERT_EQ(vorn_score_layouts(coded.data(), coded.size(), &scores), VORN_OK);
        for (int i = 0; i < VORN_LAYOUT_COUNT; ++i) {
            SCOPED_TRACE(i);
            EXPECT_FIGURE(scores.layout[i].fit, c.figures[i][0]);
            EXPECT_FIGURE(scores.layout[i].picture[0], c.figures[i][1]);
            EXPECT_FIGURE(scores.layout[i].picture[1], c.figures[i][2]);
        }
    }
}

// Random pixels with every padding byte 0 (a BMP file's padding as writers leave it).
bytes noise_with_zero_padding(int32_t width, int32_t height, uint32_t seed)
{
    bytes picture = bmp_noise(width, height, seed);
    const size_t pixels = size_t(width) * 3, stride = pixels + size_t(width & 3);
    for (int32_t y = 0; y < height; ++y)
        for (size_t i = pixels; i < stride; ++i) picture[54 + size_t(y) * stride + i] = 0;
    return picture;
}

// Groups of four colour bytes run on across the ends of rows, and padding bytes take no part:
// random low bits look keyed at widths with and without padding, a picture's never do, and too
// few colour bytes are never judged.
TEST(keyed_likely, judges_the_colour_bytes_across_rows_and_skips_padding)
{
    const bytes coded = encode_in_memory(coder_build::vornhold2, sample("Main.bmp"), sample("Hidden 1.bmp"),
                                         sample("Hidden 2.bmp"));
    struct {
        const char* name;
        bytes picture;
        int likely;
    } const cases[] = {
        {"random, 1 wide", noise_with_zero_padding(1, 1800, 1), 1},  // 3 colour bytes and 1 of padding a row
        {"random, 5 wide", noise_with_zero_padding(5, 400, 5), 1},
        {"random, 7 wide", bmp_noise(7, 300, 2, 3), 1},
        {"random, 64 wide", bmp_noise(64, 64, 3), 1},
        {"random, too few bytes", bmp_noise(5, 300, 4), 0},
        {"flat", bmp_file(64, 64, 0x41), 0},
        {"coded sample", coded, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int likely = -1;
        ASSERT_EQ(vorn_keyed_likely(c.picture.data(), c.picture.size(), &likely), VORN_OK);
        EXPECT_EQ(likely, c.likely);
    }
}

}  // namespace
