#include "bmp_reader.h"

#include <cstring>

#include "fault.h"

namespace {

constexpr uint32_t file_header_size = 14;
constexpr uint32_t core_header_size = 12;
constexpr uint32_t bi_rgb = 0;
constexpr uint32_t bi_bitfields = 3;
constexpr uint32_t bi_alphabitfields = 6;

uint32_t u16_at(const std::vector<uint8_t>& f, size_t at)
{
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8;
}

uint32_t u32_at(const std::vector<uint8_t>& f, size_t at)
{
    return u16_at(f, at) | u16_at(f, at + 2) << 16;
}

[[noreturn]] void refuse(const std::string& path, const std::string& why)
{
    raise_fault(kit::fault::input, path + ": " + why);
}

// Where a channel's byte lies within a 32-bit pixel, from its mask: masks of eight bits on a
// byte boundary only, which is every 32-bit layout writers use.
uint32_t byte_of_mask(uint32_t mask, const char* channel, const std::string& path)
{
    for (uint32_t byte = 0; byte < 4; ++byte)
        if (mask == 0xFFu << (8 * byte)) return byte;
    refuse(path, std::string("the BMP's ") + channel +
                     " mask is not one whole byte; save it as a 24-bit BMP or a PNG first");
}

struct bmp_layout {
    uint32_t raster_offset;
    uint32_t width;
    uint32_t height;
    bool top_down;
    uint32_t bits;
    uint32_t channel_byte[3];  // R, G, B within a pixel
};

bmp_layout read_layout(const std::vector<uint8_t>& f, const std::string& path)
{
    if (f.size() < file_header_size + 4 || f[0] != 'B' || f[1] != 'M')
        refuse(path, "not a BMP file (it does not begin with BM)");
    bmp_layout layout{};
    layout.raster_offset = u32_at(f, 10);
    const uint32_t header_size = u32_at(f, 14);
    if (header_size < core_header_size || header_size > f.size() - file_header_size)
        refuse(path, "the BMP header is cut short or has an unknown size");

    uint32_t planes, compression = bi_rgb;
    int64_t height;
    if (header_size == core_header_size) {
        layout.width = u16_at(f, 18);
        height = u16_at(f, 20);
        planes = u16_at(f, 22);
        layout.bits = u16_at(f, 24);
    } else {
        if (header_size < 20) refuse(path, "the BMP header is cut short");
        const int32_t width = int32_t(u32_at(f, 18));
        if (width < 0) refuse(path, "the BMP has a negative width");
        layout.width = uint32_t(width);
        height = int32_t(u32_at(f, 22));
        planes = u16_at(f, 26);
        layout.bits = u16_at(f, 28);
        compression = u32_at(f, 30);
    }
    if (planes != 1) refuse(path, "the BMP has " + std::to_string(planes) + " planes, not 1");
    if (layout.bits != 24 && layout.bits != 32)
        refuse(path, "the BMP has " + std::to_string(layout.bits) +
                         " bits per pixel; vorn reads 24- and 32-bit BMPs: save it with 24 bits per "
                         "pixel or as a PNG first");
    layout.top_down = height < 0;
    layout.height = uint32_t(height < 0 ? -height : height);
    if (layout.width == 0 || layout.height == 0) refuse(path, "the BMP holds no pixels");

    layout.channel_byte[0] = 2;
    layout.channel_byte[1] = 1;
    layout.channel_byte[2] = 0;
    if (compression == bi_bitfields || compression == bi_alphabitfields) {
        if (layout.bits != 32) refuse(path, "a 24-bit BMP with bit-field masks is not valid");
        // The masks follow a 40-byte header and lie inside every later one.
        const size_t masks_at = file_header_size + 40;
        if (f.size() < masks_at + 12) refuse(path, "the BMP's colour masks are cut short");
        layout.channel_byte[0] = byte_of_mask(u32_at(f, masks_at), "red", path);
        layout.channel_byte[1] = byte_of_mask(u32_at(f, masks_at + 4), "green", path);
        layout.channel_byte[2] = byte_of_mask(u32_at(f, masks_at + 8), "blue", path);
    } else if (compression != bi_rgb) {
        refuse(path, "a compressed BMP (compression " + std::to_string(compression) +
                         "); save it uncompressed with 24 bits per pixel or as a PNG first");
    }
    return layout;
}

}  // namespace

rgb_picture read_bmp(const std::vector<uint8_t>& f, const std::string& path, const read_limits& limits,
                     pixel_layout layout_wanted)
{
    const bmp_layout layout = read_layout(f, path);
    const uint32_t pixel_bytes = layout.bits / 8;
    // Rows are padded to whole 4-byte words; computed in 64 bits, so nothing wraps.
    const uint64_t row_bytes = (uint64_t(layout.width) * pixel_bytes + 3) / 4 * 4;
    const uint64_t raster_end = uint64_t(layout.raster_offset) + row_bytes * layout.height;
    if (layout.raster_offset < file_header_size || raster_end > f.size())
        refuse(path, "the BMP is corrupted: its header promises more pixels than the file holds");

    rgb_picture picture;
    picture.layout = layout_wanted;
    size_picture(picture, layout.width, layout.height, limits, path);
    const pixel_rows rows = rows_of(picture);
    // The bytes of R, G and B within a stored pixel, in the order the target takes them.
    const uint32_t first = layout.channel_byte[rows.bgr ? 2 : 0], last = layout.channel_byte[rows.bgr ? 0 : 2];
    for (uint32_t y = 0; y < layout.height; ++y) {
        const uint32_t stored_row = layout.top_down ? y : layout.height - 1 - y;
        const uint8_t* source = f.data() + layout.raster_offset + stored_row * row_bytes;
        uint8_t* target = rows.row(y);
        for (uint32_t x = 0; x < layout.width; ++x, source += pixel_bytes, target += 3) {
            target[0] = source[first];
            target[1] = source[layout.channel_byte[1]];
            target[2] = source[last];
        }
    }
    return picture;
}
