// PNG image data as this build deflates and inflates it (ISA-L or zlib): what the writer makes is
// a zlib stream zlib itself takes, Adler-32 and all; files from other writers, their image data
// cut into IDAT chunks of any size, read back to their pixels; damage is refused.
#include <gtest/gtest.h>

#include <zlib.h>

#include <spng.h>

#include <cstring>

#include "fault.h"
#include "kit_pictures.h"
#include "png_codec.h"

namespace {

using bytes = std::vector<uint8_t>;

uint32_t be32(const uint8_t* at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

void append_be32(bytes& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (24 - 8 * i)));
}

// The file's signature and chunks before the image data, the image data joined, and the chunks
// after it.
struct png_parts {
    bytes before, data, after;
};

png_parts parts_of(const bytes& png)
{
    png_parts parts;
    parts.before.assign(png.begin(), png.begin() + 8);
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = be32(&png[at]);
        const bool image = std::memcmp(&png[at + 4], "IDAT", 4) == 0;
        if (image) parts.data.insert(parts.data.end(), &png[at + 8], &png[at + 8] + length);
        bytes& into = image ? parts.data : parts.data.empty() ? parts.before : parts.after;
        if (!image) into.insert(into.end(), &png[at], &png[at] + 12 + length);
        at += 12 + length;
    }
    return parts;
}

// The same file with its image data in IDAT chunks of `size` bytes.
bytes rechunked(const bytes& png, size_t size)
{
    const png_parts parts = parts_of(png);
    bytes out = parts.before;
    for (size_t at = 0; at < parts.data.size(); at += size) {
        const size_t length = std::min(size, parts.data.size() - at);
        append_be32(out, uint32_t(length));
        const size_t start = out.size();
        out.insert(out.end(), {'I', 'D', 'A', 'T'});
        out.insert(out.end(), &parts.data[at], &parts.data[at] + length);
        append_be32(out, uint32_t(crc32(0, &out[start], uInt(length + 4))));
    }
    out.insert(out.end(), parts.after.begin(), parts.after.end());
    return out;
}

bytes png_of(const test_picture& picture, const png_settings& settings, unsigned threads)
{
    const size_t row = size_t(picture.width) * 3;
    return write_png(
        picture.width, picture.height, [&](uint32_t y, uint8_t*) { return picture.rgb.data() + y * row; }, "t.png",
        settings, {}, threads);
}

bytes pixels_read(const bytes& png)
{
    const rgb_picture read = read_png(png, "t.png", read_limits(), pixel_layout::rgb, 2);
    return bytes(read.rgb.data(), read.rgb.data() + read.rgb.size());
}

}  // namespace

TEST(PngDeflate, WritesWhatZlibInflatesAndReadsEveryWritersChunking)
{
    const test_picture picture = crop(sample("Main.bmp"), 10, 20, 160, 120);
    const png_settings libspngs{6, Z_DEFAULT_STRATEGY, SPNG_FILTER_CHOICE_ALL, 15};
    for (const png_settings* settings : {&coded_png_settings, &decoded_png_settings, &libspngs}) {
        SCOPED_TRACE(settings->filters);
        const bytes png = png_of(picture, *settings, 3);
        // zlib checks the header, every block and the Adler-32 of the filtered rows.
        const bytes data = parts_of(png).data;
        bytes filtered((size_t(picture.width) * 3 + 1) * picture.height + 1);
        uLongf length = uLongf(filtered.size());
        EXPECT_EQ(uncompress(filtered.data(), &length, data.data(), uLong(data.size())), Z_OK);
        EXPECT_EQ(length, filtered.size() - 1);
        for (const size_t size : {size_t(1), size_t(7), size_t(65536)}) {
            SCOPED_TRACE(size);
            EXPECT_EQ(pixels_read(rechunked(png, size)), picture.rgb);
        }
    }
}

TEST(PngDeflate, RefusesDamagedImageData)
{
    const test_picture picture = crop(sample("Hidden 1.bmp"), 0, 0, 200, 150);
    const bytes png = rechunked(png_of(picture, decoded_png_settings, 1), 1 << 20);
    const size_t data_at = parts_of(png).before.size() + 8;
    bytes header = png, body = png;
    header[data_at] ^= 0x01;                      // the zlib header's check fails
    body[data_at + 2] = 0xff;                     // a reserved block type
    for (bytes* damaged : {&header, &body}) {
        const bytes fixed = rechunked(*damaged, 1 << 20);  // CRCs made right: only inflating can tell
        EXPECT_THROW(pixels_read(fixed), kit_fault);
    }
}
