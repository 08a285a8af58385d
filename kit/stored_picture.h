// The compact form's stored pictures: a hidden picture coded as lossless WebP, lossy WebP or JPEG
// (4:4:4) at its own size, and decoded again from bytes anyone may have written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rgb_picture.h"  // pictures as the codecs take them: the rgb layout

// The codec of a stored picture, as the container's entry names it (values are the format's).
enum class stored_codec : uint8_t { webp_lossless = 1, webp_lossy = 2, jpeg = 3 };

// One codec of the stored pictures: all that the trials, the planner and the container know of
// it, so that a new codec is a value above and a row in codec_table.
struct codec_row {
    stored_codec id;
    const char* name;    // for people: "lossless WebP"
    uint32_t most_side;  // the longest width or height it stores
    bool lossless;
    bool chroma_420;      // keeps chroma at half the width and height, whatever the quality
    int lowest, highest;  // its quality range (lossless: its effort)
    // The picture coded at `quality`. Throws std::bad_alloc when the codec runs out of memory.
    std::vector<uint8_t> (*encode)(const rgb_picture& picture, int quality);
    // A stored picture decoded, held to width x height (which the caller has held to the
    // limits); raises an input fault naming `name` when it is not that or does not decode.
    rgb_picture (*decode)(const uint8_t* data, size_t size, uint32_t width, uint32_t height,
                         const read_limits& limits, const std::string& name);
};

// Every codec: the lossless one first, then the lossy ones in the order the trials search them.
// The first lossy codec is always searched; a later one where its best can beat the best so far.
constexpr size_t codec_count = 3;
extern const codec_row codec_table[codec_count];

// The row of a codec; null for a value no row has (an entry's byte read from a file).
const codec_row* codec_named(uint8_t id);
const codec_row& codec_of(stored_codec codec);
// Its place in codec_table, for tables kept per codec.
size_t codec_index(stored_codec codec);

// "lossless WebP", "lossy WebP", "JPEG".
const char* codec_words(stored_codec codec);

// Whether the codec can store a picture of these sides (WebP: 16383 at most, JPEG: 65500).
bool codec_takes(stored_codec codec, uint32_t width, uint32_t height);

// The picture coded: `quality` 0 to 100 for the lossy codecs, the effort 0 to 9 for lossless
// WebP. Throws std::bad_alloc when a codec runs out of memory; a picture the codec does not take
// (codec_takes()) is a caller's error and raises an output fault.
std::vector<uint8_t> encode_stored(const rgb_picture& picture, stored_codec codec, int quality);

// A stored picture decoded: it must be of `codec` and of exactly width x height pixels, which
// `limits` allow (checked before anything is allocated). Raises an input fault naming `name`
// otherwise, or when the bytes do not decode whole.
rgb_picture decode_stored(const uint8_t* data, size_t size, stored_codec codec, uint32_t width, uint32_t height,
                         const read_limits& limits, const std::string& name);

// The mean squared difference of two pictures of one size, over every colour byte, and its PSNR
// in dB (infinity for equal pictures).
double squared_error(const rgb_picture& a, const rgb_picture& b);
double psnr_of(double mean_squared_error);
