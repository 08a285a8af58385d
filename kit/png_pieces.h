// PNG image data in pieces: how vorn's writer lays out a picture's compressed rows so that they
// can be compressed, and read again, several pieces at a time, and what its reader takes from it.
//
// The rows are cut into pieces of png_piece_rows() rows (the last piece takes what is left). Each
// piece is deflated on its own and is one IDAT chunk: its first row is filtered without the row
// above it (with the sub filter where the others take up), and its deflate stream ends on a byte boundary with a full flush (the last piece
// finishes the stream instead), so that a piece can be inflated, and its rows unfiltered,
// without the pieces before it. The first piece begins with the zlib header and the last ends
// with the Adler-32 of every filtered row: joined, the IDAT chunks are one zlib stream, which
// every PNG reader takes as it would any other. A chunk of vorn's own before the first IDAT,
// png_piece_chunk, says so and gives the rows of a piece; readers that do not know it skip it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "png_settings.h"
#include "rgb_picture.h"

// The chunk's type: ancillary (first letter lower case), private (second), and not to be copied
// by an editor that does not know it (fourth upper case), since it describes the image data.
inline constexpr char png_piece_chunk[] = "vpCS";

// The rows of each piece of a picture `width` pixels wide: about 1 MiB of filtered rows, at
// least one row. A function of the width alone, so that the file is the same whatever the
// number of threads that write it.
uint32_t png_piece_rows(uint32_t width);

// Whether a picture this wide is written in pieces: a filtered row must fit well within a chunk
// (PNG chunks hold less than 2 GiB), so rows of more than 256 MiB are left to libspng.
bool png_pieces_fit(uint32_t width);

// The PNG file, in pieces, of a width x height picture whose rows `make_row` makes (see
// write_png()), filtered as `settings.filters` says: SPNG_FILTER_CHOICE_NONE, or
// SPNG_FILTER_CHOICE_UP for every row but the first of each piece, which takes sub. Pieces are compressed on up to
// `threads` threads; the file's bytes do not depend on how many. Faults as write_png()'s.
std::vector<uint8_t> write_png_in_pieces(uint32_t width, uint32_t height, const png_row_maker& make_row,
                                         const std::string& path, const png_settings& settings, unsigned threads,
                                         const std::function<void(double)>& rows_done);

// Decodes a PNG file that says it was written in pieces laid out as above (libspng has read and
// checked its header: `width` x `height` pixels, 8-bit RGB, not interlaced) into `rows`, its
// pieces side by side on up to `threads` threads, each given to libspng as a PNG of its own rows.
// False, with the rows undefined, for any other file, or a piece libspng refuses or whose first
// row is filtered with the row above: the caller then decodes the file whole, and libspng says
// what is wrong. The pixels are those any reader decodes.
bool read_png_in_pieces(const std::vector<uint8_t>& file, uint32_t width, uint32_t height, const pixel_rows& rows,
                        unsigned threads);
