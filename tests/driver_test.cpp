// The coder's driver: path resolution, the choice of mode, and the exact console text and pause
// of every end.
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string no_hidden =
    "Loading hidden 1 file...\r\nHidden 1.bmp\r\nCan't open hidden 1 file!\n"
    "Loading hidden 2 file...\r\nHidden 2.bmp\r\nCan't open hidden 2 file!\n"
    "Main dithering...\n\nWriting file...\n";

const std::string geometry_4x2 =
    "width = 4\nheight = 2\noffset_raster = 54\nstring_length = 12\n";
const std::string success = "Done!\r\nExecution time: 0 ms\r\n";

std::string banner(coder_build build, const std::string& path)
{
    return (build == coder_build::vornhold2 ? "Vornhold 2\n" : "Vornhold\n") +
           std::string("Loading main file...\n") + path + "\n";
}

bool decoded(const run_result& run) { return run.console.find("Writing file's") != std::string::npos; }

using driver = scratch_test;

TEST_F(driver, every_end_prints_its_messages_and_pauses)
{
    write_file(exe_folder / "Main.bmp", bmp_file(4, 2, 0x80));
    write_file(exe_folder / "Coded.bmp", bmp_file(4, 2, 0x80));
    write_file(exe_folder / "Bad.bmp", bytes(40, 'x'));
    bytes short_raster = bmp_file(4, 2, 0x80);
    short_raster.pop_back();
    write_file(exe_folder / "Short.bmp", short_raster);
    fs::create_directory(exe_folder / "Folder.bmp");

    struct {
        const char* path;
        std::string after_banner;
        uint32_t pause;
    } const cases[] = {
        {"Main.bmp", geometry_4x2 + no_hidden + success, 5000},
        {"Coded.bmp",
         geometry_4x2 + "Hidden file permutation...\n\nWriting file's...\n" + success, 5000},
        {"Missing.bmp", "Can't open main file!\n", 3000},
        {"Folder.bmp", "Can't open main file!\n", 3000},
        {"Bad.bmp", "Main file not supported!\n", 3000},
        {"Short.bmp", "Main file corrupted!\n", 3000},
    };
    for (coder_build build : all_builds) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(build_name(build)) + " " + c.path);
            fs::current_path(folder);
            const run_result run = run_coder(build, {c.path});
            EXPECT_EQ(run.console, banner(build, c.path) + c.after_banner);
            EXPECT_EQ(run.pauses, std::vector<uint32_t>{c.pause});
        }
    }
}

TEST_F(driver, one_argument_moves_to_the_executables_folder_and_others_do_not)
{
    write_file("Main.bmp", bmp_file(4, 2, 0x80));
    write_file(exe_folder / "Main.bmp", bmp_file(2, 2, 0x80));
    struct {
        std::vector<std::string> args;
        const char* shown_path;
        const char* width_line;
        fs::path coded;
    } const cases[] = {
        {{}, "Main.bmp", "width = 4\n", "Coded.bmp"},
        {{"Main.bmp", "Other.bmp"}, "Main.bmp", "width = 4\n", "Coded.bmp"},
        {{"Main.bmp"}, "Main.bmp", "width = 2\n", fs::path("exe") / "Coded.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size());
        fs::current_path(folder);
        fs::remove("Coded.bmp");
        fs::remove(exe_folder / "Coded.bmp");
        recorder().set_working_folder_calls = 0;
        const run_result run = run_coder(coder_build::vornhold2, c.args);
        EXPECT_EQ(recorder().set_working_folder_calls, c.args.size() == 1 ? 1 : 0);
        EXPECT_NE(run.console.find(std::string("\n") + c.shown_path + "\n"), std::string::npos);
        EXPECT_NE(run.console.find(c.width_line), std::string::npos);
        EXPECT_TRUE(fs::exists(folder / c.coded));
    }
}

TEST_F(driver, base_name_after_the_last_slash_or_backslash_chooses_the_mode)
{
    const bytes picture = bmp_file(2, 2, 0x80);
    struct {
        const char* path;
        bool decodes;
    } const cases[] = {
        {"Coded.bmp", true},
        {"sub/Coded.bmp", true},
        {"sub\\Coded.bmp", true},  // one file whose name holds a backslash
        {"a\\b/Coded.bmp", true},
        {"coded.bmp", false},
        {"CODED.BMP", false},
        {"Coded.bmp.bmp", false},
        {"Coded.bm", false},
        {"XCoded.bmp", false},
        {"other/Coded.bmp\\x.bmp", false},  // not in sub/: on Windows that needs sub/Coded.bmp/
        {"dir\\Coded.bmp/x.bmp", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        fs::current_path(folder);
        // Windows takes a backslash as a separator too: the folders of each path are made first.
        fs::create_directories((exe_folder / c.path).parent_path());
        write_file(exe_folder / c.path, picture);
        const run_result run = run_coder(coder_build::vornhold, {c.path});
        EXPECT_EQ(decoded(run), c.decodes) << run.console;
        EXPECT_EQ(run.pauses, std::vector<uint32_t>{5000});
    }
}

TEST_F(driver, a_main_file_longer_than_4_gib_is_refused_unread)
{
    const fs::path huge = exe_folder / "Huge.bmp";
    write_file(huge, bmp_file(4, 2, 0x80));
    fs::resize_file(huge, (uint64_t(1) << 32) + 54);  // sparse: no disk space is used
    recorder().allocations_until_failure = 0;             // any read attempt would fail to allocate
    const run_result run = run_coder(coder_build::vornhold2, {"Huge.bmp"});
    EXPECT_EQ(run.console, banner(coder_build::vornhold2, "Huge.bmp") + "Main file not supported!\n");
    EXPECT_EQ(run.pauses, std::vector<uint32_t>{3000});
}

TEST_F(driver, every_failed_allocation_ends_with_not_enough_memory)
{
    const bytes picture = bmp_file(4, 2, 0x80);
    write_file(exe_folder / "Main.bmp", picture);
    write_file(exe_folder / "Coded.bmp", picture);
    write_file(exe_folder / "Hidden 1.bmp", picture);
    write_file(exe_folder / "Hidden 2.bmp", picture);
    struct {
        const char* path;
        long failing;  // which allocation fails, counted from 0
        const char* last_message_before;
    } const cases[] = {
        {"Main.bmp", 0, "Loading main file...\nMain.bmp\n"},
        {"Main.bmp", 1, "Loading hidden 1 file...\r\nHidden 1.bmp\r\n"},
        {"Main.bmp", 2, "Loading hidden 2 file...\r\nHidden 2.bmp\r\n"},
        {"Main.bmp", 3, "Loading hidden 2 file...\r\nHidden 2.bmp\r\n"},  // the work rows
        {"Coded.bmp", 1, "string_length = 12\n"},  // decoding's one piece of memory
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.failing));
        fs::current_path(folder);
        recorder().allocations_until_failure = c.failing;
        const run_result run = run_coder(coder_build::vornhold2, {c.path});
        const std::string tail = std::string(c.last_message_before) + "Not enough memory!\n";
        ASSERT_GE(run.console.size(), tail.size());
        EXPECT_EQ(run.console.substr(run.console.size() - tail.size()), tail);
        EXPECT_EQ(run.pauses, std::vector<uint32_t>{3000});
    }
}

TEST_F(driver, a_long_path_is_echoed_and_opened_whole)
{
    fs::path relative;
    for (int i = 0; i < 14; ++i) relative /= std::string(200, char('a' + i));
    fs::create_directories(exe_folder / relative);
    relative /= "Main.bmp";
    write_file(exe_folder / relative, bmp_file(4, 2, 0x80));
    const run_result run = run_coder(coder_build::vornhold, {relative.string()});
    EXPECT_EQ(run.console.substr(0, banner(coder_build::vornhold, relative.string()).size()),
              banner(coder_build::vornhold, relative.string()));
    EXPECT_EQ(run.pauses, std::vector<uint32_t>{5000});
}

}  // namespace
