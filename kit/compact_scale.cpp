#include "compact_scale.h"

#include <new>

#include "picture_memory.h"
#include "vorn.h"

namespace {

// The coder file image of `pixels` (R G B rows; null: black) at width x height.
std::vector<uint8_t> image_of(const uint8_t* pixels, uint32_t width, uint32_t height)
{
    size_t length = 0;
    if (vorn_bmp_length(width, height, &length) != VORN_OK) throw std::bad_alloc();
    std::vector<uint8_t> image = large_buffer(length);
    // The frame's pixels do not matter (the stretched picture covers them all), only its header.
    std::vector<uint8_t> black;
    if (!pixels) black.assign(size_t(width) * height * 3, 0);
    vorn_bmp_from_rgb(pixels ? pixels : black.data(), width, height, size_t(width) * 3, 3, image.data(), image.size());
    return image;
}

}  // namespace

rgb_pixels scaled_picture(const rgb_pixels& picture, uint32_t width, uint32_t height)
{
    const std::vector<uint8_t> source = image_of(picture.rgb.data(), picture.width, picture.height);
    const std::vector<uint8_t> frame_image = image_of(nullptr, width, height);
    vorn_geometry frame, own;
    vorn_check_carrier(frame_image.data(), frame_image.size(), &frame);
    vorn_check_carrier(source.data(), source.size(), &own);
    size_t work_size = 0;
    if (vorn_fit_work_size(&frame, &own, VORN_FIT_STRETCH, &work_size) != VORN_OK) throw std::bad_alloc();
    std::vector<uint8_t> work(work_size), framed(frame_image.size());
    if (vorn_fit_hidden(frame_image.data(), frame_image.size(), source.data(), source.size(), VORN_FIT_STRETCH,
                        framed.data(), framed.size(), work.data(), work.size(), nullptr) != VORN_OK)
        throw std::bad_alloc();
    rgb_pixels scaled;
    scaled.width = width;
    scaled.height = height;
    scaled.rgb.resize(size_t(width) * height * 3);
    vorn_bmp_to_rgb(framed.data(), framed.size(), scaled.rgb.data(), scaled.rgb.size());
    return scaled;
}
