// The reveal filter: console text, pauses, and the bytes of "out.bmp".
#include "filter.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using filter = scratch_test;

std::string report(int32_t width, int32_t height, int32_t offset, int32_t stride)
{
    return "width = " + std::to_string(width) + "\nheight = " + std::to_string(height) +
           "\noffset_raster = " + std::to_string(offset) +
           "\nstring_length = " + std::to_string(stride) + "\n";
}

TEST(vorn_reveal, shifts_every_byte_from_the_offset_to_the_end)
{
    bytes input(32, 0x11);
    input[0] = 'B';
    input[1] = 'M';
    const bytes tail{0x00, 0x0F, 0x9A, 0xF0, 0xFF, 0x3C};
    std::copy(tail.begin(), tail.end(), input.begin() + 26);
    struct {
        uint32_t offset;
        size_t first_changed;  // every byte from here on is shifted; the input's length: none
    } const cases[] = {
        {26, 26}, {0, 0}, {32, 32},  // offset equal to the length: an unchanged copy
        {33, 32},                    // beyond the end: the head copy stops at the end
        {0xFFFFFFF6u, 32},           // a negative offset counts as very large
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        bytes file = input;
        put_le32(file, 10, c.offset);
        bytes output(file.size(), 0x55);
        ASSERT_EQ(vorn_reveal(file.data(), file.size(), output.data(), output.size()), VORN_OK);
        for (size_t i = 0; i < file.size(); ++i)
            EXPECT_EQ(output[i], i < c.first_changed ? file[i] : uint8_t(file[i] << 4)) << i;
        bytes in_place = file;  // the output may be the input itself
        ASSERT_EQ(vorn_reveal(in_place.data(), in_place.size(), in_place.data(), in_place.size()), VORN_OK);
        EXPECT_EQ(in_place, output);
    }
    const bytes shifted{0x00, 0xF0, 0xA0, 0x00, 0xF0, 0xC0};
    bytes output(32);
    put_le32(input, 10, 26);
    vorn_reveal(input.data(), input.size(), output.data(), output.size());
    EXPECT_EQ(bytes(output.begin() + 26, output.end()), shifted);
    EXPECT_EQ(vorn_reveal(input.data(), 25, output.data(), output.size()), VORN_ERR_HEADER_TOO_SHORT);
}

TEST_F(filter, every_end_prints_its_messages_and_pauses)
{
    bytes wide = bmp_file(1, 1, 0);
    put_le32(wide, 18, 0x7FFFFFFF);  // the printed row length wraps in 32 bits
    write_file(exe_folder / "wide.bmp", wide);
    write_file(exe_folder / "pic.bmp", bmp_file(1, 2, 0x3C, 3));
    write_file(exe_folder / "tiny.bmp", bytes(25, 0));
    write_file(exe_folder / "just26.bmp", bytes(26, 0));
    fs::create_directory(exe_folder / "folder.bmp");
    const std::string written = "Applying filter...\n\nWriting file...\nDone!\r\nExecution time: 0 ms\r\n";
    struct {
        const char* path;
        std::string after_path;
        uint32_t pause;
    } const cases[] = {
        {"pic.bmp", report(1, 2, 54, 4) + written, 30000},
        {"wide.bmp", report(0x7FFFFFFF, 1, 54, INT32_MIN) + written, 30000},
        {"just26.bmp", report(0, 0, 0, 0) + written, 30000},
        {"tiny.bmp", "Main file not supported!\n", 3000},
        {"missing.bmp", "Can't open main file!\n", 3000},
        {"folder.bmp", "Can't open main file!\n", 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        fs::current_path(folder);
        const run_result run = run_filter({c.path});
        EXPECT_EQ(run.console, "Loading main file...\r\n" + std::string(c.path) + "\r\n" + c.after_path);
        EXPECT_EQ(run.pauses, std::vector<uint32_t>{c.pause});
    }
}

TEST_F(filter, out_bmp_keeps_the_head_and_shifts_padding_and_trailing_bytes)
{
    const bytes input = bmp_noise(1, 3, 7, 5);  // one padding byte per row, five trailing
    write_file(exe_folder / "in.bmp", input);
    run_filter({"in.bmp"});
    const bytes output = read_file(exe_folder / "out.bmp");
    ASSERT_EQ(output.size(), input.size());
    for (size_t i = 0; i < input.size(); ++i)
        EXPECT_EQ(output[i], i < 54 ? input[i] : uint8_t(input[i] << 4)) << i;
}

TEST_F(filter, no_argument_or_several_read_in_main_bmp_here)
{
    write_file("in_main.bmp", bmp_file(2, 2, 0x21));
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"x", "y"}}) {
        fs::remove("out.bmp");
        const run_result run = run_filter(args);
        EXPECT_EQ(run.console.rfind("Loading main file...\r\nin_main.bmp\r\n", 0), 0u);
        EXPECT_EQ(recorder().set_working_folder_calls, 0);
        ASSERT_TRUE(fs::exists("out.bmp"));
        EXPECT_EQ(read_file("out.bmp")[54], 0x10);
    }
}

TEST_F(filter, an_output_that_cannot_be_written_is_reported_and_the_older_file_kept)
{
    write_file("in_main.bmp", bmp_file(2, 2, 0x21));
    struct {
        const char* name;
        bool (*prepare)();  // false: the case cannot be set up on this system
        const char* message;
        bool out_remains;
    } const cases[] = {
        {"disk full", [] { return older_file_on_full_disk("out.bmp"); },
         "Can't write file!\n", true},
        {"folder in the way", [] { return fs::create_directory("out.bmp"); },
         "Can't open file for writing!\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("out.bmp");
        if (!c.prepare()) continue;
        const run_result run = run_filter();
        const std::string tail = std::string("\nWriting file...\n") + c.message;
        EXPECT_EQ(run.console.substr(run.console.size() - tail.size()), tail);
        EXPECT_EQ(run.pauses, std::vector<uint32_t>{3000});
        EXPECT_EQ(fs::exists(fs::symlink_status("out.bmp")), c.out_remains);
    }
}

TEST_F(filter, failed_allocations_and_oversized_input_end_cleanly)
{
    write_file("in_main.bmp", bmp_file(2, 2, 0x21));
    for (long failing : {0L, 1L}) {
        recorder().allocations_until_failure = failing;
        const run_result run = run_filter();
        EXPECT_EQ(run.console.substr(run.console.size() - 19), "Not enough memory!\n");
        EXPECT_EQ(run.pauses, std::vector<uint32_t>{3000});
    }
    fs::resize_file("in_main.bmp", uint64_t(1) << 32);  // sparse, one byte too long
    recorder().allocations_until_failure = 0;
    const run_result run = run_filter();
    EXPECT_EQ(run.console, "Loading main file...\r\nin_main.bmp\r\nMain file not supported!\n");
}

}  // namespace
