// Hostile files through the real entries, one row per kind of damage: every run ends with one of
// the programs' messages and the right pause, and a refused file leaves no output behind.
#include <fstream>
#include <functional>

#include "test_support.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using hostile_input = scratch_test;

const bytes sound = bmp_noise(4, 2, 11);  // 78 bytes: 54 of header, two rows of 12

bytes with_le32(size_t offset, uint32_t value)
{
    bytes b = sound;
    put_le32(b, offset, value);
    return b;
}

bytes with_bits(uint16_t bits)
{
    bytes b = sound;
    put_le16(b, 28, bits);
    return b;
}

bytes cut(size_t length) { return bytes(sound.begin(), sound.begin() + ptrdiff_t(length)); }

bytes with_geometry(int32_t width, int32_t height, uint32_t offset)
{
    bytes b = bmp_file(0, 0, 0);
    put_le32(b, 10, offset);
    put_le32(b, 18, uint32_t(width));
    put_le32(b, 22, uint32_t(height));
    return b;
}

// One kind of damage and how each program ends on it. The filter reads no header field and
// refuses only a file too short for the fields it prints.
struct damage {
    const char* name;
    bytes file;
    const char* coder;   // its failure message; "" when it accepts the picture and succeeds
    const char* filter;  // the same for the filter
};

const std::vector<damage>& damages()
{
    static const std::vector<damage> rows = {
        {"empty", {}, "Main file not supported!\n", "Main file not supported!\n"},
        {"one byte", cut(1), "Main file not supported!\n", "Main file not supported!\n"},
        {"29 bytes", cut(29), "Main file not supported!\n", ""},
        {"wrong magic", [] { bytes b = sound; b[0] = 'M'; return b; }(), "Main file not supported!\n", ""},
        {"1 bit", with_bits(1), "Main file not supported!\n", ""},
        {"8 bits", with_bits(8), "Main file not supported!\n", ""},
        {"16 bits", with_bits(16), "Main file not supported!\n", ""},
        {"32 bits", with_bits(32), "Main file not supported!\n", ""},
        {"negative width", with_le32(18, uint32_t(-4)), "Main file not supported!\n", ""},
        {"negative height", with_le32(22, uint32_t(-2)), "Main file not supported!\n", ""},
        {"zero width", with_le32(18, 0), "", ""},
        {"zero height", with_le32(22, 0), "", ""},
        // 65536 rows of 65536 bytes: the product wraps to 0 in 32 bits.
        {"product wraps", with_geometry(21845, 65536, 54), "Main file corrupted!\n", ""},
        // 0xFFFFFFF0 + 12 * 2 wraps to 8.
        {"sum wraps", with_le32(10, 0xFFFFFFF0), "Main file corrupted!\n", ""},
        {"offset beyond the end", with_le32(10, 79), "Main file corrupted!\n", ""},
        {"negative offset", with_le32(10, uint32_t(-1)), "Main file corrupted!\n", ""},
        {"raster one byte short", cut(77), "Main file corrupted!\n", ""},
        // A row of two gigabytes over no rows at all is a sound, empty picture.
        {"huge row, no rows", with_geometry(715827881, 0, 54), "", ""},
        {"no bytes in 2^31 - 1 rows", with_geometry(0, 0x7FFFFFFF, 54), "", ""},
    };
    return rows;
}

TEST_F(hostile_input, every_entry_ends_cleanly_on_each_kind_of_damage)
{
    fs::create_directory(exe_folder / "in");  // decoding writes beside the program, not here
    for (const damage& d : damages()) {
        SCOPED_TRACE(d.name);
        for (const char* name : {"Coded.bmp", "Decoded_1.bmp", "Decoded_2.bmp", "out.bmp"})
            fs::remove(exe_folder / name);
        write_file(exe_folder / "Main.bmp", d.file);
        write_file(exe_folder / "in" / "Coded.bmp", d.file);
        recorder().largest_allocation = 0;
        const struct {
            run_result run;
            std::string failure;
            uint32_t success_pause;
            const char* output;
        } runs[] = {
            {run_coder(coder_build::vornhold2, {"in/Coded.bmp"}), d.coder, 5000, "Decoded_2.bmp"},
            {run_coder(coder_build::vornhold, {"Main.bmp"}), d.coder, 5000, "Coded.bmp"},
            {run_filter({"Main.bmp"}), d.filter, 30000, "out.bmp"},
        };
        for (const auto& r : runs) {
            if (r.failure.empty()) {
                EXPECT_TRUE(r.run.console.ends_with("Done!\r\nExecution time: 0 ms\r\n")) << r.run.console;
                EXPECT_EQ(r.run.pauses, std::vector<uint32_t>{r.success_pause});
                EXPECT_EQ(fs::file_size(exe_folder / r.output), d.file.size());
            } else {
                EXPECT_TRUE(r.run.console.ends_with("\n" + r.failure)) << r.run.console;
                EXPECT_EQ(r.run.pauses, std::vector<uint32_t>{3000});
                EXPECT_FALSE(fs::exists(exe_folder / r.output)) << r.output;
            }
        }
        // Memory follows the file's length, never a size the header merely claims.
        EXPECT_LE(recorder().largest_allocation, 8 * d.file.size() + 64);
    }
}

// Every damaged file, as a hidden picture beside a sound main picture, is left out with its
// message (its header differs, or its length does): the coded picture is the one without it.
TEST_F(hostile_input, damaged_hidden_pictures_are_left_out)
{
    write_file("Main.bmp", sound);
    run_coder(coder_build::vornhold2);
    const bytes plain = read_file("Coded.bmp");
    for (const damage& d : damages()) {
        for (const char* number : {"1", "2"}) {
            SCOPED_TRACE(std::string(d.name) + ", hidden " + number);
            const std::string name = std::string("Hidden ") + number + ".bmp";
            fs::remove("Hidden 1.bmp");
            fs::remove("Hidden 2.bmp");
            fs::remove("Coded.bmp");
            write_file(name, d.file);
            const run_result run = run_coder(coder_build::vornhold2);
            EXPECT_NE(run.console.find(name + "\r\nHidden " + number + " file not supported!\n"),
                      std::string::npos) << run.console;
            EXPECT_EQ(run.pauses, std::vector<uint32_t>{5000});
            EXPECT_EQ(read_file("Coded.bmp"), plain);
        }
    }
}

#ifndef _WIN32
// A folder, or a FIFO (whose opening would wait for a writer or reader), in place of any file
// the programs read or write: refused with the message for a file that cannot be opened. An
// alarm ends the suite if a run waits after all.
TEST_F(hostile_input, a_folder_or_fifo_in_place_of_a_file_is_refused_without_waiting)
{
    const auto encode = [] { return run_coder(coder_build::vornhold2); };
    const auto decode = [] { return run_coder(coder_build::vornhold2, {"Coded.bmp"}); };
    const auto filter = [] { return run_filter(); };
    struct {
        const char* name;
        std::function<run_result()> run;
        const char* message;
        uint32_t pause;
    } const cases[] = {
        {"Main.bmp", encode, "Can't open main file!\n", 3000},
        {"in_main.bmp", filter, "Can't open main file!\n", 3000},
        {"Hidden 1.bmp", encode, "Hidden 1.bmp\r\nCan't open hidden 1 file!\n", 5000},
        {"Hidden 2.bmp", encode, "Hidden 2.bmp\r\nCan't open hidden 2 file!\n", 5000},
        {"Coded.bmp", encode, "\nWriting file...\nCan't open Coded.bmp for writing!\n", 3000},
        {"exe/Decoded_1.bmp", decode, "\nWriting file's...\nCan't open file for writing!\n", 3000},
        {"exe/Decoded_2.bmp", decode, "\nWriting file's...\nCan't open file for writing!\n", 3000},
        {"out.bmp", filter, "\nWriting file...\nCan't open file for writing!\n", 3000},
    };
    for (const bool fifo : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (fifo ? " as a FIFO" : " as a folder"));
            fs::current_path(folder);
            for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
            fs::create_directory(exe_folder);
            for (const char* input : {"Main.bmp", "in_main.bmp"}) write_file(input, sound);
            write_file(exe_folder / "Coded.bmp", sound);
            fs::remove(c.name);
            if (fifo) ASSERT_EQ(mkfifo(c.name, 0600), 0);
            else fs::create_directory(c.name);
            alarm(20);
            const run_result run = c.run();
            alarm(0);
            EXPECT_NE(run.console.find(c.message), std::string::npos) << run.console;
            EXPECT_EQ(run.pauses, std::vector<uint32_t>{c.pause});
        }
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool under_address_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool under_address_sanitizer = true;
#else
constexpr bool under_address_sanitizer = false;
#endif
#else
constexpr bool under_address_sanitizer = false;
#endif

uint64_t address_space_in_use()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * uint64_t(sysconf(_SC_PAGESIZE));
}

// In a child process whose address space may grow by only `headroom` bytes, runs the entry
// with real allocations. Exit status 0: the run ended with "Not enough memory!\n" and the
// failure pause; 1: it ended otherwise; 3: the limit does not hold here (a user-mode emulator
// accepts it but ignores it, since it would bind the emulator too); anything else: it crashed
// or aborted.
template <class Entry>
int status_under_memory_limit(Entry entry, uint64_t headroom)
{
    const pid_t child = fork();
    if (child == 0) {
        const rlim_t limit = address_space_in_use() + headroom;
        const rlimit cap{limit, limit};
        if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(2);
        rlimit now{};
        if (getrlimit(RLIMIT_AS, &now) != 0 || now.rlim_cur != limit) _exit(3);
        const run_result run = entry();
        const bool clean = run.console.ends_with("\nNot enough memory!\n") &&
                           run.pauses == std::vector<uint32_t>{3000};
        _exit(clean ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(hostile_input, exhausted_address_space_ends_with_not_enough_memory)
{
    if (under_address_sanitizer) GTEST_SKIP() << "the sanitizer's shadow memory needs the address space";
    constexpr uint64_t mib = uint64_t(1) << 20;
    // Sparse files: a sound 4x2 header, then zeros up to the length.
    const auto picture = [&](const char* name, uint64_t length) {
        write_file(exe_folder / name, sound);
        fs::resize_file(exe_folder / name, length);
    };
    picture("Huge.bmp", 512 * mib);  // the file image itself does not fit
    picture("Main.bmp", 96 * mib);   // fits, but not a hidden picture of its length beside it
    picture("Hidden 1.bmp", 96 * mib);
    struct {
        const char* name;
        std::function<run_result()> run;
    } const cases[] = {
        {"coder, main file", [] { return run_coder(coder_build::vornhold2, {"Huge.bmp"}); }},
        {"coder, hidden picture", [] { return run_coder(coder_build::vornhold2, {"Main.bmp"}); }},
        {"filter, input", [] { return run_filter({"Huge.bmp"}); }},
        {"filter, output", [] { return run_filter({"Main.bmp"}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int status = status_under_memory_limit(c.run, 160 * mib);
        if (status == 3) GTEST_SKIP() << "address-space limits do not hold on this machine";
        EXPECT_EQ(status, 0);
    }
}

#endif  // FIFOs, fork and address-space limits are POSIX

}  // namespace
