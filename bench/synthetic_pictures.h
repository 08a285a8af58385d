// Large generated pictures with photograph-like content (smooth shapes, gradients and grain),
// so that dithering sees realistic errors rather than flat areas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A complete 24-bit BMP file image of width x height pixels; `seed` varies the content.
std::vector<uint8_t> synthetic_bmp(int32_t width, int32_t height, uint32_t seed);

void save(const std::string& path, const std::vector<uint8_t>& image);
