// JPEG files through libjpeg-turbo, for pictures that are only to be looked at (a revealed
// picture): JPEG's loss would destroy any hidden bits, so nothing that is read back is written so.
// And for the compact form's stored pictures, whose bits are carried, not hidden in low bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The JPEG file of the pixels of `image`, a file image vorn_check_carrier() accepts, at quality
// 92 without chroma subsampling. Raises an output fault naming `path` when libjpeg refuses.
std::vector<uint8_t> write_jpeg_of_image(const std::vector<uint8_t>& image, const std::string& path);

// The JPEG file of `rgb` (width x height pixels, R G B, the top row first, rows packed) at
// `quality` (1 to 100), without chroma subsampling and with Huffman tables made for it. Raises an
// output fault when libjpeg refuses.
std::vector<uint8_t> write_jpeg_of_rgb(const uint8_t* rgb, uint32_t width, uint32_t height, int quality);
