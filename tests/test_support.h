// Helpers that keep test tables short: a scratch folder per test, and runs of the program
// entries with the platform stand-in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "coder.h"
#include "bmp_builder.h"
#include "platform_recorder.h"

struct run_result {
    std::string console;
    std::vector<uint32_t> pauses;
};

// Runs an entry with these arguments after the program name.
run_result run_coder(coder_build build, const std::vector<std::string>& args = {});
run_result run_filter(const std::vector<std::string>& args = {});

// The library on memory, as the coder uses it: the coded picture (empty when the library
// refuses the main picture), and the two decoded pictures of a coded one.
bytes encode_in_memory(coder_build build, const bytes& main, const std::optional<bytes>& hidden1,
                       const std::optional<bytes>& hidden2);
struct decoded_pair {
    bytes first, second;
};
decoded_pair decode_in_memory(coder_build build, const bytes& coded);

// Puts an older file (older_bytes) at `name` and makes the write of an output fail as on a full
// disk: the next output file created, or the one after `files_before` more. Always true.
bool older_file_on_full_disk(const std::filesystem::path& name, int files_before = 0);
inline const bytes older_bytes{'B', 'M', 'o', 'l', 'd'};

// Each test runs inside a fresh folder of its own, which is the current directory; the stand-in
// for set_working_folder changes into its "exe" subfolder.
class scratch_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path folder;
    std::filesystem::path exe_folder;

private:
    std::filesystem::path previous;
};

// Every coder build, for tables that run once per build.
inline const coder_build all_builds[] = {coder_build::vornhold2, coder_build::vornhold};
inline const char* build_name(coder_build b) { return b == coder_build::vornhold2 ? "vornhold2" : "vornhold"; }
