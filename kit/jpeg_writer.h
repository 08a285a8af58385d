// JPEG files through libjpeg-turbo, for pictures that are only to be looked at (a revealed
// picture): JPEG's loss would destroy any hidden bits, so nothing that is read back is written so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The JPEG file of the pixels of `image`, a file image vorn_check_carrier() accepts, at quality
// 92 without chroma subsampling. Raises an output fault naming `path` when libjpeg refuses.
std::vector<uint8_t> write_jpeg_of_image(const std::vector<uint8_t>& image, const std::string& path);
