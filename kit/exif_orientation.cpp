#include "exif_orientation.h"

#include <cstring>

namespace {

// Reads of the TIFF block inside the EXIF segment, in its byte order; every read is bounded.
struct tiff_view {
    const uint8_t* bytes;
    size_t length;
    bool big_endian;

    bool has(size_t at, size_t count) const { return at <= length && count <= length - at; }
    uint32_t u16(size_t at) const
    {
        return big_endian ? uint32_t(bytes[at] << 8 | bytes[at + 1]) : uint32_t(bytes[at] | bytes[at + 1] << 8);
    }
    uint32_t u32(size_t at) const
    {
        return big_endian ? u16(at) << 16 | u16(at + 2) : u16(at) | u16(at + 2) << 16;
    }
};

constexpr uint32_t orientation_tag = 0x0112;
constexpr uint32_t short_type = 3;

// The orientation in the first IFD of a TIFF block, or 1.
int orientation_in(const tiff_view& tiff)
{
    if (!tiff.has(0, 8) || tiff.u16(2) != 42) return 1;
    const size_t ifd = tiff.u32(4);
    if (!tiff.has(ifd, 2)) return 1;
    const uint32_t entries = tiff.u16(ifd);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = ifd + 2 + size_t(i) * 12;
        if (!tiff.has(entry, 12)) return 1;
        if (tiff.u16(entry) != orientation_tag) continue;
        if (tiff.u16(entry + 2) != short_type || tiff.u32(entry + 4) != 1) return 1;
        const uint32_t value = tiff.u16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

}  // namespace

int exif_orientation(const std::vector<uint8_t>& jpeg)
{
    // Segments follow the start-of-image marker until the scan begins.
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xDA || marker == 0xD9) break;
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (length < 2 || at + 2 + length > jpeg.size()) break;
        const uint8_t* body = jpeg.data() + at + 4;
        const size_t body_length = length - 2;
        if (marker == 0xE1 && body_length >= 14 && std::memcmp(body, "Exif\0\0", 6) == 0) {
            const uint8_t* tiff = body + 6;
            if (std::memcmp(tiff, "II", 2) == 0 || std::memcmp(tiff, "MM", 2) == 0)
                return orientation_in({tiff, body_length - 6, tiff[0] == 'M'});
        }
        at += 2 + length;
    }
    return 1;
}

void turn_upright(rgb_picture& picture, int orientation)
{
    if (orientation < 2 || orientation > 8) return;
    const uint32_t w = picture.width, h = picture.height;
    const bool swapped = orientation >= 5;
    const uint32_t out_w = swapped ? h : w, out_h = swapped ? w : h;
    pixel_bytes turned;
    turned.allocate(picture.rgb.size());
    for (uint32_t y = 0; y < out_h; ++y)
        for (uint32_t x = 0; x < out_w; ++x) {
            // The stored pixel shown at (x, y).
            uint32_t sx = x, sy = y;
            switch (orientation) {
            case 2: sx = w - 1 - x; break;
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;
            case 4: sy = h - 1 - y; break;
            case 5: sx = y; sy = x; break;
            case 6: sx = y; sy = h - 1 - x; break;
            case 7: sx = w - 1 - y; sy = h - 1 - x; break;
            case 8: sx = w - 1 - y; sy = x; break;
            }
            std::memcpy(turned.data() + (size_t(y) * out_w + x) * 3, picture.rgb.data() + (size_t(sy) * w + sx) * 3, 3);
        }
    picture.rgb = std::move(turned);
    picture.width = out_w;
    picture.height = out_h;
}
