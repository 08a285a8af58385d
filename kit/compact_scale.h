// Scaling a hidden picture down for the compact form, with the engine's resampler (the one that
// fits classic hidden pictures: stb_image_resize in sRGB, Mitchell when shrinking).
#pragma once

#include <cstdint>

#include "stored_picture.h"

// The picture resampled to width x height. Throws std::bad_alloc when memory runs out.
rgb_pixels scaled_picture(const rgb_pixels& picture, uint32_t width, uint32_t height);
