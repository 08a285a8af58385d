// The real platform layer of the system the tests run on.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform.h"

namespace fs = std::filesystem;

namespace {

fs::path executable_folder()
{
#ifdef _WIN32
    std::wstring path(32768, L'\0');  // the longest path Windows has
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return fs::path(path).parent_path();
#else
    return fs::canonical("/proc/self/exe").parent_path();
#endif
}

}  // namespace

TEST(real_platform, set_working_folder_moves_to_the_executables_folder)
{
    const fs::path before = fs::current_path();
    fs::current_path(fs::temp_directory_path());
    set_working_folder();
    EXPECT_EQ(fs::current_path(), executable_folder());
    fs::current_path(before);
}

TEST(real_platform, clock_never_runs_backwards_and_pause_returns)
{
    const int64_t first = clock_ms();
    pause_ms(2);
    const int64_t second = clock_ms();
    EXPECT_GE(second, first);
}

#ifdef _WIN32
TEST(real_platform, clock_counts_milliseconds_of_the_system_time)
{
    // The system time counts from 1601, the C++ system clock from 1970. A wrong unit or a lost
    // half of the 64-bit count is off by years, far beyond the minute allowed here.
    constexpr int64_t ms_from_1601_to_1970 = 11644473600000;
    using namespace std::chrono;
    const int64_t since_1970 =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(double(clock_ms() - ms_from_1601_to_1970), double(since_1970), 60000.0);
}
#endif

TEST(real_platform, allocation_failure_is_a_null_pointer)
{
    void* block = allocate_bytes(16);
    EXPECT_NE(block, nullptr);
    release_bytes(block);
}

#ifndef _WIN32
// A stop signal during a write removes the watched temporary file and still ends the run by
// that signal; once the write is over, the same signal leaves every file alone.
TEST(real_platform, a_stop_signal_removes_the_temporary_being_written)
{
    const fs::path file = fs::temp_directory_path() / ("vorn-watch-" + std::to_string(getpid()) + ".tmp");
    struct {
        int signal_number;
        bool still_watched;
    } const cases[] = {{SIGTERM, true}, {SIGINT, true}, {SIGHUP, true}, {SIGTERM, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.signal_number) + (c.still_watched ? " while writing" : " afterwards"));
        std::ofstream(file) << "part of a picture";
        const pid_t child = fork();
        if (child == 0) {
            system_platform().watch_temporary(file.c_str(), true);
            if (!c.still_watched) system_platform().watch_temporary(file.c_str(), false);
            std::raise(c.signal_number);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number);
        EXPECT_EQ(fs::exists(file), !c.still_watched);
        fs::remove(file);
    }
}
#endif
