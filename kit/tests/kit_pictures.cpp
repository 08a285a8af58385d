#include "kit_pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

test_picture sample(const std::string& name)
{
    std::ifstream file(std::string(VORN_SAMPLES_DIR) + "/" + name, std::ios::binary);
    const std::vector<uint8_t> bmp((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return pixels_of(bmp);
}

test_picture crop(const test_picture& picture, uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    test_picture out;
    out.width = width;
    out.height = height;
    for (uint32_t row = y; row < y + height; ++row) {
        const auto from = picture.rgb.begin() + (size_t(row) * picture.width + x) * 3;
        out.rgb.insert(out.rgb.end(), from, from + size_t(width) * 3);
    }
    return out;
}

std::vector<uint8_t> bmp_of(const test_picture& picture)
{
    size_t length = 0;
    EXPECT_EQ(vorn_bmp_length(picture.width, picture.height, &length), VORN_OK);
    std::vector<uint8_t> bmp(length);
    EXPECT_EQ(vorn_bmp_from_rgb(picture.rgb.data(), picture.width, picture.height, size_t(picture.width) * 3, 3,
                                bmp.data(), bmp.size()),
              VORN_OK);
    return bmp;
}

test_picture pixels_of(const std::vector<uint8_t>& image)
{
    vorn_geometry g{};
    EXPECT_EQ(vorn_check_carrier(image.data(), image.size(), &g), VORN_OK);
    test_picture picture;
    picture.width = g.width;
    picture.height = g.height;
    picture.rgb.resize(size_t(g.width) * g.height * 3);
    vorn_bmp_to_rgb(image.data(), image.size(), picture.rgb.data(), picture.rgb.size());
    return picture;
}

test_picture pixels_of(const rgb_picture& picture)
{
    if (picture.layout == pixel_layout::coder_image) return pixels_of(picture.image);
    test_picture out;
    out.width = picture.width;
    out.height = picture.height;
    out.rgb.assign(picture.rgb.data(), picture.rgb.data() + picture.rgb.size());
    return out;
}

rgb_picture kit_picture_of(const test_picture& picture)
{
    rgb_picture out = rgb_of_size(picture.width, picture.height);
    std::copy(picture.rgb.begin(), picture.rgb.end(), out.rgb.data());
    return out;
}

input_picture input_of(const test_picture& picture, const std::string& name)
{
    input_picture read;
    const kit::status status = kit::read_picture(bmp_of(picture), name, picture_role::source, read_limits(), read);
    EXPECT_TRUE(status.ok()) << status.text;
    return read;
}

double psnr(const test_picture& a, const test_picture& b)
{
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) return 0;
    double squared = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) squared += std::pow(double(a.rgb[i]) - b.rgb[i], 2);
    if (squared == 0) return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 * double(a.rgb.size()) / squared);
}
