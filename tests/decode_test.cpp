// Decoding: the bytes of both outputs (the library on memory), and the coder's decode mode in a
// folder: the permutation of Decoded_2 and its message, and failed writes.
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

struct decoded {
    run_result run;
    bytes first, second;
};

// Runs the coder on "exe/Coded.bmp" holding `coded`; the outputs land beside it.
decoded decode(coder_build build, const bytes& coded)
{
    const fs::path exe = recorder().exe_folder;
    for (const char* name : {"Decoded_1.bmp", "Decoded_2.bmp"}) fs::remove_all(exe / name);
    write_file(exe / "Coded.bmp", coded);
    decoded d{run_coder(build, {"Coded.bmp"}), {}, {}};
    if (fs::exists(exe / "Decoded_1.bmp")) d.first = read_file(exe / "Decoded_1.bmp");
    if (fs::exists(exe / "Decoded_2.bmp")) d.second = read_file(exe / "Decoded_2.bmp");
    return d;
}

using decoding = scratch_test;

TEST(decoded_bytes, extracts_the_low_bits_of_every_byte)
{
    struct {
        coder_build build;
        uint8_t coded, first, second;
    } const cases[] = {
        {coder_build::vornhold2, 0x0B, 0xC0, 0xD0}, {coder_build::vornhold, 0x0B, 0xC0, 0xB0},
        {coder_build::vornhold2, 0xFF, 0xC0, 0xF0}, {coder_build::vornhold, 0xFF, 0xC0, 0xF0},
        {coder_build::vornhold2, 0xF0, 0x00, 0x00}, {coder_build::vornhold, 0xF0, 0x00, 0x00},
        {coder_build::vornhold2, 0x01, 0x40, 0x80}, {coder_build::vornhold, 0x01, 0x40, 0x10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(build_name(c.build)) + " " + std::to_string(c.coded));
        // One pixel with its padding byte and two trailing bytes: nothing can move.
        const bytes coded = bmp_file(1, 1, c.coded, 2);
        const decoded_pair d = decode_in_memory(c.build, coded);
        ASSERT_EQ(d.first.size(), coded.size());
        ASSERT_EQ(d.second.size(), coded.size());
        EXPECT_TRUE(std::equal(coded.begin(), coded.begin() + 54, d.first.begin()));
        EXPECT_TRUE(std::equal(coded.begin(), coded.begin() + 54, d.second.begin()));
        for (size_t i = 54; i < coded.size(); ++i) {
            EXPECT_EQ(d.first[i], c.first) << i;
            EXPECT_EQ(d.second[i], c.second) << i;
        }
    }
}

TEST_F(decoding, moves_decoded_2_pixels_only_where_the_sides_are_powers_of_two)
{
    struct {
        int32_t width, height;
        uint32_t trailing;
        const char* message;
        std::vector<std::pair<uint32_t, uint32_t>> column_swaps, row_swaps;
    } const cases[] = {
        {4, 2, 3, "Hidden file permutation...\n", {{1, 2}}, {}},
        {2, 4, 2, "Hidden file permutation...\n", {}, {{1, 2}}},  // padding bytes stay
        {2, 2, 0, "Hidden file permutation...\n", {}, {}},
        {640, 480, 0, "Hidden file permutation not supported!\n", {}, {}},
        {6, 4, 1, "Hidden file permutation not supported!\n", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const bytes coded = bmp_noise(c.width, c.height, 5, c.trailing);
        const decoded d = decode(coder_build::vornhold, coded);
        EXPECT_NE(d.run.console.find(std::string(c.message) + "\nWriting file's...\n"), std::string::npos);
        const auto swapped = [](uint32_t v, const auto& swaps) {
            for (const auto& [a, b] : swaps) {
                if (v == a) return b;
                if (v == b) return a;
            }
            return v;
        };
        const size_t stride = size_t(c.width) * 3 + (c.width & 3);
        for (size_t i = 54; i < coded.size(); ++i) {
            size_t from = i;
            const size_t r = (i - 54) / stride, column = (i - 54) % stride;
            if (r < size_t(c.height) && column < size_t(c.width) * 3)
                from = 54 + swapped(uint32_t(r), c.row_swaps) * stride +
                       swapped(uint32_t(column / 3), c.column_swaps) * 3 + column % 3;
            ASSERT_EQ(d.first[i], uint8_t(coded[i] << 6)) << i;
            ASSERT_EQ(d.second[i], uint8_t(coded[from] << 4)) << i;
        }
    }
}

TEST(decoded_bytes, reproduces_the_two_by_two_example)
{
    struct {
        coder_build build;
        bytes coded, first, second;
    } const cases[] = {
        {coder_build::vornhold,
         {0x67, 0x67, 0x67, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63},
         bytes(16, 0xC0),
         {0x70, 0x70, 0x70, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30}},
        {coder_build::vornhold2,
         {0x5E, 0x5E, 0x5E, 0x6C, 0x6C, 0x6C, 0x6C, 0x6C, 0x6C, 0x6C, 0x6C, 0x5C, 0x5C, 0x5C, 0x6C, 0x6C},
         {0x80, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {0x70, 0x70, 0x70, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(build_name(c.build));
        bytes coded = bmp_file(2, 2, 0);
        std::copy(c.coded.begin(), c.coded.end(), coded.begin() + 54);
        const decoded_pair d = decode_in_memory(c.build, coded);
        EXPECT_EQ(bytes(d.first.begin() + 54, d.first.end()), c.first);
        EXPECT_EQ(bytes(d.second.begin() + 54, d.second.end()), c.second);
    }
}

TEST_F(decoding, outputs_that_cannot_be_written_end_as_a_failure)
{
    const bytes coded = bmp_file(4, 2, 0x5B);
    struct {
        const char* name;
        const char* blocked;
        bool full;  // an older file on a full disk rather than a folder
        const char* message;
        bool first_stays;
    } const cases[] = {
        {"first on a full disk", "Decoded_1.bmp", true, "Can't write file!\n", false},
        {"second on a full disk", "Decoded_2.bmp", true, "Can't write file!\n", true},
        {"first blocked by a folder", "Decoded_1.bmp", false, "Can't open file for writing!\n", false},
        {"second blocked by a folder", "Decoded_2.bmp", false, "Can't open file for writing!\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* name : {"Decoded_1.bmp", "Decoded_2.bmp"}) fs::remove_all(exe_folder / name);
        if (c.full) older_file_on_full_disk(exe_folder / c.blocked, c.first_stays ? 1 : 0);
        if (!c.full) fs::create_directory(exe_folder / c.blocked);
        write_file(exe_folder / "Coded.bmp", coded);
        const run_result run = run_coder(coder_build::vornhold2, {"Coded.bmp"});
        fs::current_path(folder);
        const std::string tail = std::string("\nWriting file's...\n") + c.message;
        EXPECT_EQ(run.console.substr(run.console.size() - tail.size()), tail);
        EXPECT_EQ(run.pauses, std::vector<uint32_t>{3000});
        const fs::path first = exe_folder / "Decoded_1.bmp", second = exe_folder / "Decoded_2.bmp";
        if (c.first_stays) {
            EXPECT_EQ(read_file(first).size(), coded.size());
            EXPECT_TRUE(fs::exists(fs::symlink_status(second)));
        } else {
            EXPECT_TRUE(fs::exists(fs::symlink_status(first)));
            EXPECT_FALSE(fs::exists(fs::symlink_status(second)));
        }
        if (c.full) {
            EXPECT_EQ(read_file(exe_folder / c.blocked), older_bytes);
        }
    }
}

}  // namespace
