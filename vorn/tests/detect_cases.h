// Coded pictures of known content for measuring vorn_detect(): carriers and hidden pictures scaled
// from the samples and generated photograph-like pictures, at a given size, coded in each of the
// six ways (hidden 1, hidden 2 or both, by each build).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vorn.h"

struct detection_tally {
    int cases = 0;
    int right = 0;
    std::vector<std::string> misses;  // one line per wrong guess
};

// Codes the sample-derived and the generated picture sets at width x height in every way and
// tallies the guesses. `samples` is the folder holding Main.bmp, Hidden 1.bmp, Hidden 2.bmp;
// the samples are scaled to the size.
void tally_detection(const std::string& samples, uint32_t width, uint32_t height,
                     detection_tally& tally);
