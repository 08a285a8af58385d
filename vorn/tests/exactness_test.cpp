// vorn against the coder and the filter, byte for byte, for every subcommand and build; and how
// often decoding guesses the layout right.
#include "detect_cases.h"
#include "vorn_fixture.h"

namespace fs = std::filesystem;

namespace {

using vorn_exactness_test = vorn_test;

// The raster bytes of a BMP file image, R G B from the top row, each passed through `f`.
template <class F>
bytes mapped_pixels(const bytes& bmp, F f)
{
    bytes rgb = rgb_of(bmp);
    for (uint8_t& value : rgb) value = uint8_t(f(value));
    return rgb;
}

uint8_t reversed_pair(uint8_t two_bits)
{
    return uint8_t((two_bits & 1) << 1 | two_bits >> 1);
}

TEST_F(vorn_exactness_test, encode_and_reveal_write_the_programs_bytes)
{
    for (const std::string build : {"vornhold2", "vornhold"}) {
        SCOPED_TRACE(build);
        fs::remove("Coded.bmp");
        run_coder_in(".", build);
        ASSERT_EQ(run_vorn({"encode", "--classic", "Main.bmp", "--hidden1", "Hidden 1.bmp", "--hidden2",
                            "Hidden 2.bmp", "--build", build, "-o", "coded.bmp", "-f"})
                      .code,
                  0);
        EXPECT_EQ(read_bytes("coded.bmp"), read_bytes("Coded.bmp"));
    }
    fs::copy_file("Coded.bmp", "in_main.bmp");
    run_filter_in(".");
    ASSERT_EQ(run_vorn({"reveal", "Coded.bmp", "-o", "revealed.bmp"}).code, 0);
    EXPECT_EQ(read_bytes("revealed.bmp"), read_bytes("out.bmp"));
}

// Each hidden picture vorn writes with --raw is what the coder's Decoded_1.bmp or Decoded_2.bmp
// holds of it: its bits taken from there, in their own order, scaled to the full range.
TEST_F(vorn_exactness_test, decode_writes_the_fields_the_coder_decodes)
{
    struct case_row {
        const char* build;
        bool hidden1;
        int picture;
        const char* decoded;
        uint8_t (*field)(uint8_t decoded_value);
    };
    const case_row cases[] = {
        {"vornhold2", false, 2, "Decoded_2.bmp", [](uint8_t d) { return uint8_t((d >> 4) * 17); }},
        {"vornhold", false, 2, "Decoded_2.bmp", [](uint8_t d) { return uint8_t((d >> 4) * 17); }},
        {"vornhold2", true, 1, "Decoded_2.bmp", [](uint8_t d) { return uint8_t((d >> 4 & 3) * 85); }},
        {"vornhold2", true, 2, "Decoded_1.bmp", [](uint8_t d) { return uint8_t(reversed_pair(d >> 6) * 85); }},
        {"vornhold", true, 1, "Decoded_2.bmp", [](uint8_t d) { return uint8_t((d >> 4 & 3) * 85); }},
    };
    for (const case_row& c : cases) {
        const std::string name = std::string(c.build) + (c.hidden1 ? "-both-" : "-alone-") + std::to_string(c.picture);
        SCOPED_TRACE(name);
        const fs::path run = folder / name;
        fs::create_directory(run);
        for (const char* name : {"Main.bmp", "Hidden 2.bmp"}) fs::copy_file(name, run / name);
        if (c.hidden1) fs::copy_file("Hidden 1.bmp", run / "Hidden 1.bmp");
        run_coder_in(run, c.build);
        run_coder_in(run, c.build, "Coded.bmp");
        const fs::path coded = run / "Coded.bmp";
        const vorn_run decode = run_vorn({"decode", coded.string(), "-o", run.string(), "-f", "--raw", "-q"});
        ASSERT_EQ(decode.code, 0) << decode.err;
        EXPECT_EQ(decode.err, "vorn: " + coded.string() + ": assuming hidden picture" +
                                  (c.hidden1 ? "s 1 and 2" : " 2 alone") + ", written by " + c.build +
                                  " (read from the picture; name what it holds and its build to choose otherwise)\n");
        const bytes written = read_bytes(run / ("hidden-" + std::to_string(c.picture) + ".png"));
        EXPECT_EQ(png_pixels(written), mapped_pixels(read_bytes(run / c.decoded), c.field));
    }
}

TEST(vorn_detection, guesses_every_layout_on_sample_and_generated_pictures)
{
    const uint32_t sizes[][2] = {{64, 64}, {96, 80}, {256, 256}, {200, 150}};
    for (const auto& size : sizes) {
        detection_tally tally;
        tally_detection(VORN_SAMPLES_DIR, size[0], size[1], tally);
        EXPECT_EQ(tally.right, tally.cases) << ::testing::PrintToString(tally.misses);
    }
}

}  // namespace
