// PNG files through libspng: reading every colour type and bit depth as 8-bit RGB, and writing
// 8-bit RGB with no colour-management chunks, so that a reader gets exactly these bytes back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "png_settings.h"
#include "rgb_picture.h"

// Decodes `file` into `layout`, a row at a time. Transparency (an alpha channel or a tRNS chunk)
// is left out and `alpha_dropped` set; 16-bit samples are rounded to the nearest 8-bit value.
// Gamma and colour chunks are ignored: the samples are taken as they stand. A file vorn wrote in
// pieces is decoded a piece at a time on up to `threads` threads (png_pieces.h); the pixels are
// the same for any number. Fails with kit::fault::input, kit::fault::memory when libspng runs out
// of memory.
rgb_picture read_png(const std::vector<uint8_t>& file, const std::string& path,
                     const read_limits& limits = read_limits(), pixel_layout layout = pixel_layout::rgb,
                     unsigned threads = 1);


// What vorn writes with, chosen by measuring the pictures it writes (bench/png_settings.cpp):
// for coded pictures, whose low bits are noise, for the raw levels decoded from them (and revealed
// pictures), and for reconstructed hidden pictures, which are smooth like photographs.
extern const png_settings coded_png_settings;
extern const png_settings decoded_png_settings;
extern const png_settings reconstructed_png_settings;


// The PNG file of a width x height picture whose rows `make_row` makes one at a time, so that
// the picture need never be held whole. Fails with kit::fault::output naming `path` when libspng
// refuses, kit::fault::memory when memory runs out.
// `rows_done` (when given) hears the share of rows written now and then, from one thread at a
// time. Pictures filtered alike on every row (SPNG_FILTER_CHOICE_NONE or _UP) are compressed in
// pieces on up to `threads` threads (png_pieces.h); the file is the same for any number.
std::vector<uint8_t> write_png(uint32_t width, uint32_t height, const png_row_maker& make_row,
                               const std::string& path, const png_settings& settings,
                               const std::function<void(double)>& rows_done = {}, unsigned threads = 1);

// The PNG file of `picture`, in the rgb layout, as above.
std::vector<uint8_t> write_png(const rgb_picture& picture, const std::string& path,
                               const png_settings& settings = decoded_png_settings,
                               const std::function<void(double)>& rows_done = {}, unsigned threads = 1);

// The PNG file of the pixels of `image`, a file image vorn_check_carrier() accepts, made from its
// rows as they stand, as above.
std::vector<uint8_t> write_png_of_image(const uint8_t* image, size_t length, const std::string& path,
                                        const png_settings& settings,
                                        const std::function<void(double)>& rows_done = {}, unsigned threads = 1);
