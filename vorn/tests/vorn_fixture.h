// Helpers for the vorn tests: runs of the command in-process, and input pictures made at test
// time from the samples in every format and layout vorn reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "picture_files.h"
#include "test_support.h"

struct vorn_run {
    int code;
    std::string out;
    std::string err;
};

vorn_run run_vorn(const std::vector<std::string>& args);

// Whole files, as the suites' picture builder reads and writes them.
inline bytes read_bytes(const std::filesystem::path& path) { return read_file(path); }
inline void write_bytes(const std::filesystem::path& path, const bytes& content) { write_file(path, content); }

// Runs the coder (`build`: "vornhold2" or "vornhold") or the filter in-process in `folder`, as a
// user would in the pictures' folder: the coder with no argument (encoding) or with
// "Coded.bmp" (decoding), the filter with none.
void run_coder_in(const std::filesystem::path& folder, const std::string& build,
                  const char* argument = nullptr);
void run_filter_in(const std::filesystem::path& folder);

// Every test runs in the suites' scratch folder (test_support.h), which holds the samples
// (Main.bmp, Hidden 1.bmp, Hidden 2.bmp) as well.
class vorn_test : public scratch_test {
protected:
    void SetUp() override;
};
