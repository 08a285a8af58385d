// The pictures of the picture-policy table (tests/policy/cases.tsv): inputs where front ends
// used to decide differently, and for each case the coded BMP that the policy gives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// Writes every input and expected file the table names into `folder`.
void write_policy_pictures(const std::filesystem::path& folder);

// What a PNG made by png_of_samples() carries besides its samples.
struct png_extra {
    bool gama = false;
    bool iccp = false;
    const std::vector<uint8_t>* palette = nullptr;  // R G B entries
    bool interlaced = false;
    int filters = -1;  // libspng's choice of row filters (SPNG_FILTER_CHOICE_*); -1: its default
};

// The PNG of raw samples (rows top first, in the colour type and depth given), written by libspng:
// the suites' one PNG builder.
std::vector<uint8_t> png_of_samples(const std::vector<uint8_t>& samples, uint32_t w, uint32_t h, uint8_t color_type,
                                    uint8_t depth, const png_extra& extra = {});

// A BMP of R G B pixels (top row first) with `header_size` bytes of info header, `bits` (24 or
// 32) per pixel, rows top-down when asked; fields beyond the 40-byte header stay 0.
std::vector<uint8_t> bmp_variant(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, uint32_t header_size,
                                 uint32_t bits, bool top_down);

// A JPEG of R G B pixels at `quality`, with an EXIF block holding `orientation` unless it is 0.
std::vector<uint8_t> jpeg_of_rgb(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, int quality,
                                 int orientation);
