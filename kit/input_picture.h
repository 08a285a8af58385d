// An input picture, read from any file vorn accepts, and its equivalent coder file image: the
// uncompressed 24-bit BMP the coder works on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rgb_picture.h"
#include "vorn.h"

enum class picture_role {
    source,  // a carrier or a hidden picture: PNG, JPEG or BMP
    stored,  // a hidden picture the compact form stores with its own codecs: the same formats,
             // decoded to R G B rows, the layout those codecs take
    coded,   // a picture whose low bits matter: PNG or BMP only
};

struct input_picture {
    std::string path;
    // A BMP the coder takes as it stands: its file image is the file, byte for byte.
    bool as_is = false;
    std::vector<uint8_t> file;  // the file's bytes when as_is
    vorn_geometry geometry{};   // when as_is
    // Otherwise the decoded picture: R G B rows for a stored picture, else its coder file image.
    rgb_picture pixels;
};

// Decodes a file's bytes (within `limits`) unless the coder takes them as they stand. Raises an
// input fault naming `path` and the reason (an unknown format, a JPEG given where the low bits
// matter, a broken or unsupported file). A PNG vorn wrote is inflated on up to `threads` threads.
input_picture picture_from_file(std::vector<uint8_t> file, const std::string& path, picture_role role,
                                const read_limits& limits = read_limits(), unsigned threads = 1);

// Whether `file` begins as a PNG, JPEG or BMP does: the formats vorn reads.
bool is_vorn_format(const std::vector<uint8_t>& file);

// The picture's coder file image, moved out of `picture`: the file itself when as_is, otherwise
// the BMP with a 54-byte header that an image converter writes for it.
std::vector<uint8_t> coder_image(input_picture& picture);

// The picture's pixels in the rgb layout, moved out of `picture`.
rgb_picture rgb_of(input_picture& picture);
