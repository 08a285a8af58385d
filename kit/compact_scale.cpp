#include "compact_scale.h"

#include <new>

#include "stb_resize.h"

rgb_picture scaled_picture(const rgb_picture& picture, uint32_t width, uint32_t height)
{
    rgb_picture scaled = rgb_of_size(width, height);
    // The sides are a stored picture's (at most 65500) and the scale shrinks, so the resampler's
    // int arithmetic holds; its only failure is memory.
    if (!stbir_resize(picture.rgb.data(), int(picture.width), int(picture.height), int(picture.width * 3),
                      scaled.rgb.data(), int(width), int(height), int(width * 3), STBIR_TYPE_UINT8, 3,
                      STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, STBIR_FILTER_DEFAULT,
                      STBIR_FILTER_DEFAULT, STBIR_COLORSPACE_SRGB, nullptr))
        throw std::bad_alloc();
    return scaled;
}
