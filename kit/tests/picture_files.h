// Picture files for the kit's and vorn's tests, made at test time: the same pixels as PNGs of
// every colour type and depth, JPEGs, and BMPs of every layout the readers take, each written by
// the library made for its format (libspng, libjpeg) or laid out by hand where no writer makes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using bytes = std::vector<uint8_t>;

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
