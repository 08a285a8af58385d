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

// What one picture may cost: a file that declares more pixels is refused as soon as its header
// is read, before anything is allocated or inflated, so that a small file cannot take gigabytes
// and minutes. A megapixel is 1024 x 1024 pixels; the default, 256, is 16384 x 16384.
struct read_limits {
    uint64_t max_pixels = uint64_t(256) << 20;
    // The option that raises the limit, named in the refusal; null where there is none (the
    // page, which sets max_pixels from the memory it has).
    const char* option = "--max-megapixels";
};

inline constexpr uint64_t pixels_per_megapixel = uint64_t(1) << 20;

// Fails with exit_class::input naming `path`, the size and the option when width x height is
// more than `limits` allows.
void check_picture_cost(uint32_t width, uint32_t height, const read_limits& limits, const std::string& path);

// The decoders' shared checks: a picture within `limits` whose equivalent BMP stays below 4 GiB.
// Fails with exit_class::input naming `path` when width x height is empty or too large, and
// sizes `picture.rgb` otherwise.
void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const read_limits& limits,
                  const std::string& path);
