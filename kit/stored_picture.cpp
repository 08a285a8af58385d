#include "stored_picture.h"

#include <webp/decode.h>
#include <webp/encode.h>

#include <cmath>
#include <limits>
#include <new>

#include "fault.h"
#include "jpeg_reader.h"
#include "jpeg_writer.h"

namespace {

// Collects libwebp's output; freed by its destructor.
struct webp_output {
    WebPMemoryWriter writer;
    webp_output() { WebPMemoryWriterInit(&writer); }
    ~webp_output() { WebPMemoryWriterClear(&writer); }
};

// A WebPPicture, freed by its destructor.
struct webp_picture {
    WebPPicture picture;
    webp_picture() { WebPPictureInit(&picture); }
    ~webp_picture() { WebPPictureFree(&picture); }
};

std::vector<uint8_t> encode_webp(const rgb_picture& source, bool lossless, int quality)
{
    WebPConfig config;
    if (!WebPConfigInit(&config)) throw std::bad_alloc();
    if (lossless) {
        WebPConfigLosslessPreset(&config, quality);
        config.exact = 1;
    } else {
        config.quality = float(quality);
        config.method = 4;
    }
    webp_picture held;
    WebPPicture& picture = held.picture;
    picture.use_argb = lossless;
    picture.width = int(source.width);
    picture.height = int(source.height);
    if (!WebPPictureImportRGB(&picture, source.rgb.data(), int(source.width * 3))) throw std::bad_alloc();
    webp_output out;
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &out.writer;
    if (!WebPEncode(&config, &picture)) {
        if (picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ||
            picture.error_code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY)
            throw std::bad_alloc();
        raise_fault(kit::fault::output, "cannot encode the WebP picture (libwebp error " +
                                            std::to_string(int(picture.error_code)) + ")");
    }
    return std::vector<uint8_t>(out.writer.mem, out.writer.mem + out.writer.size);
}

// Sized from the entry, which the caller has held to the limits, once the file's own header agrees.
rgb_picture decode_webp(const uint8_t* data, size_t size, bool lossless, uint32_t width, uint32_t height,
                       const std::string& name)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK)
        raise_fault(kit::fault::input, name + ": not a readable WebP picture");
    if (features.has_animation || features.format != (lossless ? 2 : 1))
        raise_fault(kit::fault::input, name + ": not the WebP picture its entry describes");
    if (uint32_t(features.width) != width || uint32_t(features.height) != height)
        raise_fault(kit::fault::input, name + ": its WebP picture is not of the size its entry gives");
    rgb_picture picture = rgb_of_size(width, height);
    if (!WebPDecodeRGBInto(data, size, picture.rgb.data(), picture.rgb.size(), int(width * 3)))
        raise_fault(kit::fault::input, name + ": its WebP picture does not decode");
    return picture;
}

std::vector<uint8_t> encode_webp_lossless(const rgb_picture& picture, int effort)
{
    return encode_webp(picture, true, effort);
}

std::vector<uint8_t> encode_webp_lossy(const rgb_picture& picture, int quality)
{
    return encode_webp(picture, false, quality);
}

std::vector<uint8_t> encode_jpeg(const rgb_picture& picture, int quality)
{
    return write_jpeg_of_rgb(picture.rgb.data(), picture.width, picture.height, quality);
}

rgb_picture decode_webp_lossless(const uint8_t* data, size_t size, uint32_t width, uint32_t height, const read_limits&,
                                const std::string& name)
{
    return decode_webp(data, size, true, width, height, name);
}

rgb_picture decode_webp_lossy(const uint8_t* data, size_t size, uint32_t width, uint32_t height, const read_limits&,
                             const std::string& name)
{
    return decode_webp(data, size, false, width, height, name);
}

// The JPEG reader sizes from the file's own header, within the limits, and is held to the
// entry's size afterwards.
rgb_picture decode_jpeg(const uint8_t* data, size_t size, uint32_t width, uint32_t height, const read_limits& limits,
                       const std::string& name)
{
    rgb_picture read = read_jpeg(std::vector<uint8_t>(data, data + size), name, limits, pixel_layout::rgb);
    if (read.width != width || read.height != height)
        raise_fault(kit::fault::input, name + ": its JPEG picture is not of the size its entry gives");
    return read;
}

}  // namespace

// JPEG is stored without chroma subsampling (jpeg_writer.h); lossy WebP holds its chroma to
// 4:2:0, so JPEG is searched first and lossy WebP only where its quality 100 can do better.
const codec_row codec_table[codec_count] = {
    {stored_codec::webp_lossless, "lossless WebP", WEBP_MAX_DIMENSION, true, false, 0, 9, encode_webp_lossless,
     decode_webp_lossless},
    {stored_codec::jpeg, "JPEG", 65500, false, false, 0, 100, encode_jpeg, decode_jpeg},
    {stored_codec::webp_lossy, "lossy WebP", WEBP_MAX_DIMENSION, false, true, 0, 100, encode_webp_lossy,
     decode_webp_lossy},
};

const codec_row* codec_named(uint8_t id)
{
    for (const codec_row& row : codec_table)
        if (uint8_t(row.id) == id) return &row;
    return nullptr;
}

size_t codec_index(stored_codec codec)
{
    for (size_t i = 0; i < codec_count; ++i)
        if (codec_table[i].id == codec) return i;
    raise_fault(kit::fault::output, "no such codec of stored pictures");
}

const codec_row& codec_of(stored_codec codec)
{
    return codec_table[codec_index(codec)];
}

const char* codec_words(stored_codec codec)
{
    const codec_row* row = codec_named(uint8_t(codec));
    return row ? row->name : "an unknown codec";
}

bool codec_takes(stored_codec codec, uint32_t width, uint32_t height)
{
    const codec_row* row = codec_named(uint8_t(codec));
    return row && width > 0 && height > 0 && width <= row->most_side && height <= row->most_side;
}

std::vector<uint8_t> encode_stored(const rgb_picture& picture, stored_codec codec, int quality)
{
    if (!codec_takes(codec, picture.width, picture.height))
        raise_fault(kit::fault::output, std::string("a picture of this size cannot be stored as ") + codec_words(codec));
    return codec_of(codec).encode(picture, quality);
}

rgb_picture decode_stored(const uint8_t* data, size_t size, stored_codec codec, uint32_t width, uint32_t height,
                         const read_limits& limits, const std::string& name)
{
    if (!codec_takes(codec, width, height))
        raise_fault(kit::fault::input, name + ": its entry gives a size its codec cannot hold");
    check_picture_cost(width, height, limits, name);
    return codec_of(codec).decode(data, size, width, height, limits, name);
}

double squared_error(const rgb_picture& a, const rgb_picture& b)
{
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return std::numeric_limits<double>::infinity();
    uint64_t sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const int d = int(a.rgb[i]) - int(b.rgb[i]);
        sum += uint64_t(d * d);
    }
    return double(sum) / double(a.rgb.size());
}

double psnr_of(double mean_squared_error)
{
    if (mean_squared_error <= 0) return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 / mean_squared_error);
}
