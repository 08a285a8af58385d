// The kit's one decoded picture: 8-bit R G B pixels, held either as packed rows (what the codecs
// and the compact form take) or as the coder file image the engine takes, so that a reader can
// decode straight into what its caller needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "picture_memory.h"

// How a reader lays out the pixels it decodes; the caller chooses before reading.
enum class pixel_layout {
    rgb,          // in `rgb`: R G B, the top row first, rows packed without padding
    coder_image,  // in `image`: the coder file image vorn_bmp_from_rgb() writes for the pixels
                  // (a 54-byte header, then B G R rows from the bottom up, padded to 4 bytes)
};

struct rgb_picture {
    uint32_t width = 0;
    uint32_t height = 0;
    pixel_layout layout = pixel_layout::rgb;
    pixel_bytes rgb;             // width * height * 3 bytes in the rgb layout
    std::vector<uint8_t> image;  // the coder file image in the coder_image layout
    bool alpha_dropped = false;  // the file held transparency, which was left out

    bool empty() const { return width == 0; }
};

// Where a reader puts row y of a sized picture (0 is the top row): width * 3 bytes from
// row(y), R G B, or B G R when `bgr`. Bytes beyond them in the row are the layout's padding,
// already 0.
struct pixel_rows {
    uint8_t* top;
    ptrdiff_t step;  // from one row to the next below it; negative for bottom-up rows
    bool bgr;
    uint8_t* row(uint32_t y) const { return top + ptrdiff_t(y) * step; }
};

// The rows of `picture`, sized by size_picture() in its layout.
pixel_rows rows_of(rgb_picture& picture);

// Swaps the first and third byte of each of the `width` pixels at `row`: R G B to B G R and back.
void swap_red_blue(uint8_t* row, uint32_t width);

// What one picture may cost: a file that declares more pixels is refused as soon as its header
// is read, before anything is allocated or inflated, so that a small file cannot take gigabytes
// and minutes. A megapixel is a million pixels; the default is 16384 x 16384 (268 million).
struct read_limits {
    uint64_t max_pixels = uint64_t(16384) * 16384;
    // The option that raises the limit, named in the refusal with "{}" where its number goes;
    // null where there is none (the page, which sets max_pixels from the memory it has).
    const char* option = "--max-megapixels {}";
};

inline constexpr uint64_t pixels_per_megapixel = 1000000;

// Fails with kit::fault::input naming `path`, the size and the option when width x height is
// more than `limits` allows.
void check_picture_cost(uint32_t width, uint32_t height, const read_limits& limits, const std::string& path);

// The decoders' shared checks: a picture within `limits` whose equivalent BMP stays below 4 GiB.
// Fails with kit::fault::input naming `path` when width x height is empty or too large, and
// otherwise sizes the picture in its layout. The rgb layout is not cleared (see pixel_bytes); the
// coder file image is, since it is handed on as a vector: a header that promises more pixels
// than its file holds costs that memory until the decoder finds out, within `limits`.
void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const read_limits& limits,
                  const std::string& path);

// `image`, a coder file image vorn_check_carrier() accepts, taken as a picture in that layout;
// an empty picture for an empty image.
rgb_picture coder_picture(std::vector<uint8_t>&& image);

// A picture of width x height in the rgb layout, its pixels not yet set. Throws std::bad_alloc
// when they cannot be had.
rgb_picture rgb_of_size(uint32_t width, uint32_t height);

// Moves the pixels of `picture`, a coder file image vorn_check_carrier() accepts, into the rgb
// layout, letting go of the image; a picture laid out so already is left alone.
void to_rgb_layout(rgb_picture& picture);

// Moves the pixels of `picture` into the coder_image layout, letting go of its rgb bytes; a
// picture laid out so already is left alone. Fails with kit::fault::input naming `path` when the
// picture is too large for a coder file image (a picture turned upright can be, where its
// unturned self was not).
void to_coder_image(rgb_picture& picture, const std::string& path);
