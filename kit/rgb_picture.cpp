#include "rgb_picture.h"

#include <algorithm>
#include <new>
#include <utility>

#include "fault.h"
#include "vorn.h"

namespace {

constexpr size_t bmp_header_length = 54;

[[noreturn]] void too_large(uint32_t width, uint32_t height, const std::string& path)
{
    raise_fault(kit::fault::input, path + ": the picture is too large (" + std::to_string(width) + "x" +
                                std::to_string(height) +
                                "): as a 24-bit BMP it would reach 4 GiB; scale it down first");
}

void put_le32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

// A cleared coder file image of width x height pixels, `length` bytes (vorn_bmp_length()) with
// its header. The engine writes the header of a one-row picture of this width; the three fields
// that count the rows (the file's length, the height and the raster's length) are then set for
// all of them, as the engine sets them.
std::vector<uint8_t> blank_coder_image(uint32_t width, uint32_t height, size_t length)
{
    std::vector<uint8_t> image = large_buffer(length);
    const size_t row_length = (length - bmp_header_length) / height;
    // The row's pixels, taken from the cleared raster, are not used.
    std::vector<uint8_t> one_row(bmp_header_length + row_length);
    vorn_bmp_from_rgb(image.data() + bmp_header_length, width, 1, size_t(width) * 3, 3, one_row.data(),
                      one_row.size());
    std::copy(one_row.begin(), one_row.begin() + bmp_header_length, image.begin());
    put_le32(image.data() + 2, uint32_t(length));
    put_le32(image.data() + 22, height);
    put_le32(image.data() + 34, uint32_t(length - bmp_header_length));
    return image;
}

}  // namespace

void check_picture_cost(uint32_t width, uint32_t height, const read_limits& limits, const std::string& path)
{
    const uint64_t pixels = uint64_t(width) * height;
    if (pixels <= limits.max_pixels) return;
    const auto megapixels = [](uint64_t count) {
        return std::to_string((count + pixels_per_megapixel - 1) / pixels_per_megapixel);
    };
    // Rounded up, so that the limit said is never below the one applied, nor the size below the
    // picture's.
    std::string message = path + ": the picture is " + std::to_string(width) + "x" + std::to_string(height) +
                          " pixels (" + megapixels(pixels) + " million), more than the " +
                          megapixels(limits.max_pixels) + " million allowed";
    // The option's words hold "{}" where the number goes.
    if (limits.option) {
        std::string option = limits.option;
        const size_t at = option.find("{}");
        option = at == std::string::npos ? option + " " + megapixels(pixels)
                                         : option.replace(at, 2, megapixels(pixels));
        message += "; give " + option + " to read it";
    }
    raise_fault(kit::fault::input, message);
}

void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const read_limits& limits,
                  const std::string& path)
{
    if (width == 0 || height == 0) raise_fault(kit::fault::input, path + ": the picture holds no pixels");
    check_picture_cost(width, height, limits, path);
    size_t bmp_length;
    if (vorn_bmp_length(width, height, &bmp_length) != VORN_OK) too_large(width, height, path);
    picture.width = width;
    picture.height = height;
    if (picture.layout == pixel_layout::coder_image)
        picture.image = blank_coder_image(width, height, bmp_length);
    else
        picture.rgb.allocate(size_t(width) * height * 3);
}

pixel_rows rows_of(rgb_picture& picture)
{
    if (picture.layout == pixel_layout::rgb)
        return {picture.rgb.data(), ptrdiff_t(picture.width) * 3, false};
    // Rows are stored bottom-up: the top row is the last one of the raster.
    const ptrdiff_t stride = ptrdiff_t(picture.image.size() - bmp_header_length) / picture.height;
    return {picture.image.data() + bmp_header_length + stride * ptrdiff_t(picture.height - 1), -stride, true};
}

void swap_red_blue(uint8_t* row, uint32_t width)
{
    for (uint8_t* pixel = row; pixel < row + size_t(width) * 3; pixel += 3) std::swap(pixel[0], pixel[2]);
}

void to_coder_image(rgb_picture& picture, const std::string& path)
{
    if (picture.layout == pixel_layout::coder_image) return;
    size_t length;
    if (vorn_bmp_length(picture.width, picture.height, &length) != VORN_OK)
        too_large(picture.width, picture.height, path);
    picture.image = large_buffer(length);
    vorn_bmp_from_rgb(picture.rgb.data(), picture.width, picture.height, size_t(picture.width) * 3, 3,
                      picture.image.data(), picture.image.size());
    picture.rgb = pixel_bytes();
    picture.layout = pixel_layout::coder_image;
}

rgb_picture coder_picture(std::vector<uint8_t>&& image)
{
    rgb_picture picture;
    vorn_geometry g;
    if (image.empty()) return picture;
    if (vorn_check_carrier(image.data(), image.size(), &g) != VORN_OK) throw std::bad_alloc();
    picture.width = g.width;
    picture.height = g.height;
    picture.layout = pixel_layout::coder_image;
    picture.image = std::move(image);
    return picture;
}

rgb_picture rgb_of_size(uint32_t width, uint32_t height)
{
    rgb_picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.allocate(size_t(width) * height * 3);
    return picture;
}

void to_rgb_layout(rgb_picture& picture)
{
    if (picture.layout == pixel_layout::rgb) return;
    vorn_geometry g;
    size_t length = 0;
    if (vorn_check_carrier(picture.image.data(), picture.image.size(), &g) != VORN_OK ||
        vorn_rgb_length(&g, &length) != VORN_OK)
        throw std::bad_alloc();
    picture.width = g.width;
    picture.height = g.height;
    picture.rgb.allocate(length);
    vorn_bmp_to_rgb(picture.image.data(), picture.image.size(), picture.rgb.data(), length);
    picture.image = std::vector<uint8_t>();
    picture.layout = pixel_layout::rgb;
}
