// A decoded picture: 8-bit R G B pixels, the top row first, rows packed without padding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Bytes that are not cleared when they are taken: a picture's header may promise far more
// pixels than its file holds, and a decoder finds that out only as it goes; memory that is
// never written is never really used.
struct pixel_bytes {
    std::unique_ptr<uint8_t[]> block;
    size_t length = 0;

    void allocate(size_t count)
    {
        block.reset(new uint8_t[count]);
        length = count;
    }
    uint8_t* data() { return block.get(); }
    const uint8_t* data() const { return block.get(); }
    size_t size() const { return length; }
    bool empty() const { return length == 0; }
    uint8_t& operator[](size_t at) { return block[at]; }
};

struct rgb_picture {
    uint32_t width = 0;
    uint32_t height = 0;
    pixel_bytes rgb;             // width * height * 3 bytes
    bool alpha_dropped = false;  // the file held transparency, which was left out
};

// The decoders' shared limit: a picture whose equivalent BMP would reach 4 GiB cannot be coded.
// Fails with exit_class::input naming `path` when width x height is empty or too large, and
// sizes `picture.rgb` otherwise.
void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const std::string& path);
