// Helpers for the vorn tests: runs of the command in-process, and input pictures made at test
// time from the samples in every format and layout vorn reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

// The pixels of an accepted BMP file image, R G B from the top row, and back to the 54-byte BMP.
bytes rgb_of(const bytes& bmp);
bytes bmp_of(const bytes& rgb, uint32_t width, uint32_t height);
// The pixels of a PNG file, R G B from the top row, as libspng decodes them.
bytes png_pixels(const bytes& png);

// The same picture in other files: a PNG of the given colour type (2 RGB, 6 RGBA with alpha 128,
// 0 grey from the green channel) and depth (8 or 16, samples v * 257), a JPEG, and BMPs with 32
// bits, top-down rows, or a 124-byte header.
bytes png_of(const bytes& bmp, int color_type, int depth);
// The same with libspng's choice of row filters `filters` (SPNG_FILTER_CHOICE_*), interlaced or not.
bytes png_of(const bytes& bmp, int color_type, int depth, int filters, bool interlaced);
bytes jpeg_of(const bytes& bmp);
// A PNG whose header declares width x height RGB pixels and whose data holds only a few bytes;
// an ancillary chunk of zeros before the data makes it `length` bytes long when it is larger.
bytes png_declaring(uint32_t width, uint32_t height, size_t length = 0);
// `jpeg` with the size its frame header declares changed to width x height.
bytes jpeg_declaring(bytes jpeg, uint16_t width, uint16_t height);
bytes bmp32_of(const bytes& bmp);
bytes top_down_of(const bytes& bmp);
bytes v5_header_of(const bytes& bmp);

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
