// Encoding: the coded bytes (the library on memory), and the coder's messages and the hidden
// pictures it accepts or refuses (the program in a folder).
#include <functional>
#include <optional>

#include "test_support.h"
#include "layout.h"

namespace fs = std::filesystem;

namespace {

struct encoded {
    run_result run;
    bytes coded;
};

// Runs the coder with no argument on these pictures in the current folder.
encoded encode(coder_build build, const bytes& main, const std::optional<bytes>& hidden1,
               const std::optional<bytes>& hidden2)
{
    write_file("Main.bmp", main);
    fs::remove("Hidden 1.bmp");
    fs::remove("Hidden 2.bmp");
    fs::remove("Coded.bmp");
    if (hidden1) write_file("Hidden 1.bmp", *hidden1);
    if (hidden2) write_file("Hidden 2.bmp", *hidden2);
    encoded result{run_coder(build), {}};
    if (fs::exists("Coded.bmp")) result.coded = read_file("Coded.bmp");
    return result;
}

// What a byte that receives no diffused error holds: plain truncations of its sources.
uint8_t truncated(coder_build build, uint8_t main, std::optional<uint8_t> h1, std::optional<uint8_t> h2)
{
    if (!h1 && !h2) return main & 0xF0;
    if (!h2) return uint8_t((main & 0xFC) | *h1 >> 6);
    uint8_t nibble = h1 ? uint8_t((*h2 >> 6) << 2 | *h1 >> 6) : uint8_t(*h2 >> 4);
    if (build == coder_build::vornhold2) nibble = reverse_nibble(nibble);
    return uint8_t((main & 0xF0) | nibble);
}

using encoding = scratch_test;

TEST(encoded_bytes, a_single_pixel_holds_the_stage_table_bytes)
{
    // One pixel receives no error and permutes nowhere, so every byte is a plain truncation.
    struct {
        coder_build build;
        uint8_t main;
        std::optional<uint8_t> h1, h2;
        uint8_t expected;
    } const cases[] = {
        {coder_build::vornhold, 0x9A, 0xC0, 0x00, 0x93},  // C4 9, hidden-1 3, hidden-2 0
        {coder_build::vornhold2, 0x9A, 0xC0, 0x00, 0x9C},
        {coder_build::vornhold, 0x95, {}, 0x10, 0x91},  // C4 9, 4-bit hidden-2 1
        {coder_build::vornhold2, 0x95, {}, 0x10, 0x98},
        {coder_build::vornhold, 0x94, 0x80, {}, 0x96},  // C6 37, hidden-1 2
        {coder_build::vornhold2, 0x94, 0x80, {}, 0x96},
        {coder_build::vornhold, 0xAB, {}, {}, 0xA0},
        {coder_build::vornhold2, 0xAB, {}, {}, 0xA0},
        {coder_build::vornhold, 0x12, 0x40, 0x40, 0x15},  // hidden-2 1 above hidden-1 1
        {coder_build::vornhold2, 0x12, 0x40, 0x40, 0x1A},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(build_name(c.build)) + " main " + std::to_string(c.main));
        const std::optional<bytes> h1 =
            c.h1 ? std::optional<bytes>(bmp_file(1, 1, *c.h1, 2)) : std::nullopt;
        const std::optional<bytes> h2 =
            c.h2 ? std::optional<bytes>(bmp_file(1, 1, *c.h2, 2)) : std::nullopt;
        const bytes main = bmp_file(1, 1, c.main, 2);
        const bytes coded = encode_in_memory(c.build, main, h1, h2);
        ASSERT_EQ(coded.size(), main.size());
        EXPECT_TRUE(std::equal(main.begin(), main.begin() + 54, coded.begin()));
        for (size_t i = 54; i < coded.size(); ++i) EXPECT_EQ(coded[i], c.expected) << i;
        EXPECT_EQ(truncated(c.build, c.main, c.h1, c.h2), c.expected);
    }
}

TEST(encoded_bytes, reproduces_the_two_by_two_example)
{
    struct {
        coder_build build;
        bytes raster;
    } const cases[] = {
        {coder_build::vornhold, {0x67, 0x67, 0x67, 0x63, 0x63, 0x63, 0x63, 0x63,
                                 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63}},
        {coder_build::vornhold2, {0x5E, 0x5E, 0x5E, 0x6C, 0x6C, 0x6C, 0x6C, 0x6C,
                                  0x6C, 0x6C, 0x6C, 0x5C, 0x5C, 0x5C, 0x6C, 0x6C}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(build_name(c.build));
        const bytes coded = encode_in_memory(c.build, bmp_file(2, 2, 100), bmp_file(2, 2, 200), bmp_file(2, 2, 60));
        EXPECT_EQ(bytes(coded.begin() + 54, coded.end()), c.raster);
    }
}

TEST(encoded_bytes, padding_and_trailing_bytes_hold_plain_truncations)
{
    // Width 2 has two padding bytes per row; seven bytes follow the last row.
    const bytes main = bmp_noise(2, 4, 1, 7), h1 = bmp_noise(2, 4, 2, 7), h2 = bmp_noise(2, 4, 3, 7);
    for (coder_build build : all_builds) {
        for (int combination = 0; combination < 4; ++combination) {
            const bool has1 = combination & 1, has2 = combination & 2;
            SCOPED_TRACE(std::string(build_name(build)) + " combination " + std::to_string(combination));
            const bytes coded = encode_in_memory(build, main, has1 ? std::optional(h1) : std::nullopt,
                                                 has2 ? std::optional(h2) : std::nullopt);
            ASSERT_EQ(coded.size(), main.size());
            for (size_t i = 54; i < main.size(); ++i) {
                const size_t in_row = (i - 54) % 8;
                if (i < 54 + 4 * 8 && in_row < 6) continue;  // pixel bytes receive error
                const auto source = [&](const bytes& b, bool present) {
                    return present ? std::optional<uint8_t>(b[i]) : std::nullopt;
                };
                EXPECT_EQ(coded[i], truncated(build, main[i], source(h1, has1), source(h2, has2))) << i;
            }
        }
    }
}

TEST(encoded_bytes, clamps_values_that_dithering_carries_out_of_range)
{
    // In a row of two pixels, column 1 hands its whole error to column 0.
    struct {
        const char* name;
        uint8_t main;
        std::optional<uint8_t> h1, h2;
        uint8_t pixel;  // every pixel byte of the coded picture (vornhold)
    } const cases[] = {
        {"hidden-1 above 3", 0x00, 0xFF, {}, 0x03},
        {"hidden-2 alone above 15", 0x00, {}, 0xFF, 0x0F},
        {"main with hidden 1 above 0x3F", 0xFF, 0x00, {}, 0xFC},
        {"main alone above 15", 0xFF, {}, {}, 0xF0},
        {"main with hidden 2 above 15", 0xFF, {}, 0x00, 0xF0},
        {"hidden-2 below 0 over a decided 3", 0x00, 0xFF, 0x00, 0x03},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto picture = [](std::optional<uint8_t> fill) {
            return fill ? std::optional(bmp_file(2, 1, *fill)) : std::nullopt;
        };
        const bytes coded = encode_in_memory(coder_build::vornhold, bmp_file(2, 1, c.main), picture(c.h1), picture(c.h2));
        for (size_t i = 54; i < 60; ++i) EXPECT_EQ(coded[i], c.pixel) << i;
    }
}

TEST_F(encoding, refused_hidden_pictures_are_reported_and_left_out)
{
    const bytes main = bmp_file(4, 2, 0x80);
    struct {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* message;  // with N for the picture's number
    } const cases[] = {
        {"missing", [](const fs::path&) {}, "Can't open hidden N file!\n"},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); }, "Can't open hidden N file!\n"},
        {"one byte longer", [&](const fs::path& p) { bytes b = main; b.push_back(0); write_file(p, b); },
         "Hidden N file not supported!\n"},
        {"one byte shorter", [&](const fs::path& p) { bytes b = main; b.pop_back(); write_file(p, b); },
         "Hidden N file not supported!\n"},
        {"other offset", [&](const fs::path& p) { bytes b = main; put_le32(b, 10, 53); write_file(p, b); },
         "Hidden N file not supported!\n"},
        {"other width", [&](const fs::path& p) { bytes b = main; put_le32(b, 18, 2); write_file(p, b); },
         "Hidden N file not supported!\n"},
        {"other height", [&](const fs::path& p) { bytes b = main; put_le32(b, 22, 1); write_file(p, b); },
         "Hidden N file not supported!\n"},
        {"32 bits", [&](const fs::path& p) { bytes b = main; put_le16(b, 28, 32); write_file(p, b); },
         "Hidden N file not supported!\n"},
        {"other magic", [&](const fs::path& p) { bytes b = main; b[1] = 'A'; write_file(p, b); },
         "Hidden N file not supported!\n"},
    };
    for (const char* number : {"1", "2"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string("hidden ") + number + " " + c.name);
            const std::string name = std::string("Hidden ") + number + ".bmp";
            const std::string other = std::string("Hidden ") + (number[0] == '1' ? "2" : "1") + ".bmp";
            write_file("Main.bmp", main);
            fs::remove_all(name);
            write_file(other, bmp_file(4, 2, 0x40));
            c.make(name);
            const run_result run = run_coder(coder_build::vornhold2);
            std::string message = c.message;
            message.replace(message.find('N'), 1, number);
            const std::string loading = std::string("Loading hidden ") + number + " file...\r\n" + name + "\r\n";
            EXPECT_NE(run.console.find(loading + message), std::string::npos) << run.console;
            // Only the other picture is dithered, as the sole hidden one.
            EXPECT_EQ(run.console.find(std::string("Hidden ") + number + " dithering"), std::string::npos);
            EXPECT_NE(run.console.find(std::string("Hidden ") + (number[0] == '1' ? "2" : "1") + " dithering"),
                      std::string::npos);
            EXPECT_EQ(run.pauses, std::vector<uint32_t>{5000});
        }
    }
}

TEST_F(encoding, the_permutation_gate_speaks_for_the_scrambled_layer_only)
{
    struct {
        int32_t width, height;
        bool has1, has2;
        std::string stages;
    } const cases[] = {
        {64, 64, true, true,
         "Hidden 1 dithering...\nHidden 1 permutation...\nHidden 2 dithering...\nMain dithering...\n"},
        {4, 4, false, true, "Hidden 2 dithering...\nHidden 2 permutation...\nMain dithering...\n"},
        {4, 4, true, false, "Hidden 1 dithering...\nHidden 1 permutation...\nMain dithering...\n"},
        {6, 4, true, true,
         "Hidden 1 dithering...\nHidden 1 file permutation not supported!\nHidden 2 dithering...\n"
         "Main dithering...\n"},
        {4, 3, false, true,
         "Hidden 2 dithering...\nHidden 2 file permutation not supported!\nMain dithering...\n"},
        {1, 4, true, false,
         "Hidden 1 dithering...\nHidden 1 file permutation not supported!\nMain dithering...\n"},
        {4, 1, false, true,
         "Hidden 2 dithering...\nHidden 2 file permutation not supported!\nMain dithering...\n"},
        {4, 4, false, false, "Main dithering...\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const bytes picture = bmp_noise(c.width, c.height, 9);
        const encoded e = encode(coder_build::vornhold, picture, c.has1 ? std::optional(picture) : std::nullopt,
                                 c.has2 ? std::optional(picture) : std::nullopt);
        const size_t start = e.run.console.find("Hidden 2.bmp\r\n");
        ASSERT_NE(start, std::string::npos);
        std::string after = e.run.console.substr(start + 14);
        if (!c.has2) after = after.substr(after.find('\n') + 1);  // "Can't open hidden 2 file!\n"
        EXPECT_EQ(after, c.stages + "\nWriting file...\nDone!\r\nExecution time: 0 ms\r\n");
    }
}

TEST(encoded_bytes, a_picture_without_raster_bytes_comes_back_unchanged)
{
    bytes empty = bmp_file(0, 0, 0);
    ASSERT_EQ(empty.size(), 54u);
    for (coder_build build : all_builds) EXPECT_EQ(encode_in_memory(build, empty, empty, empty), empty);
}

TEST_F(encoding, coded_bmp_that_cannot_be_written_ends_as_a_failure)
{
    write_file("Main.bmp", bmp_file(4, 2, 0x80));
    struct {
        const char* name;
        bool (*prepare)();  // false: the case cannot be set up on this system
        const char* message;
        bool remains;
    } const cases[] = {
        {"disk full", [] { return older_file_on_full_disk("Coded.bmp"); }, "Can't write Coded.bmp!\n", true},
        {"folder in the way", [] { return fs::create_directory("Coded.bmp"); }, "Can't open Coded.bmp for writing!\n",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("Coded.bmp");
        if (!c.prepare()) continue;
        const run_result run = run_coder(coder_build::vornhold2);
        const std::string tail = std::string("\nWriting file...\n") + c.message;
        EXPECT_EQ(run.console.substr(run.console.size() - tail.size()), tail);
        EXPECT_EQ(run.pauses, std::vector<uint32_t>{3000});
        EXPECT_EQ(fs::exists(fs::symlink_status("Coded.bmp")), c.remains);
    }
}

}  // namespace
