// The real platform layer for POSIX systems.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform.h"

namespace fs = std::filesystem;

TEST(posix_platform, set_working_folder_moves_to_the_executables_folder)
{
    const fs::path before = fs::current_path();
    fs::current_path(fs::temp_directory_path());
    set_working_folder();
    EXPECT_EQ(fs::current_path(), fs::canonical("/proc/self/exe").parent_path());
    fs::current_path(before);
}

TEST(posix_platform, clock_never_runs_backwards_and_pause_returns)
{
    const int64_t first = clock_ms();
    pause_ms(2);
    const int64_t second = clock_ms();
    EXPECT_GE(second, first);
}

TEST(posix_platform, allocation_failure_is_a_null_pointer)
{
    void* block = allocate_bytes(16);
    EXPECT_NE(block, nullptr);
    release_bytes(block);
}
