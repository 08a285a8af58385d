// The EXIF orientation of a JPEG, and its pixels turned upright as a photograph is shown.
#pragma once

#include <cstdint>
#include <vector>

#include "rgb_picture.h"

// The orientation tag (1 to 8) of the EXIF block in the JPEG's APP1 segment; 1 (upright) when
// there is none or it cannot be read.
int exif_orientation(const std::vector<uint8_t>& jpeg);

// Turns `picture` (the rows as stored) upright for `orientation`: mirrored and rotated as the
// tag says, width and height exchanged for 5 to 8. Nothing changes for 1 or an unknown value.
void turn_upright(rgb_picture& picture, int orientation);
