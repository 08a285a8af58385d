// vorn's readers of untrusted pictures on any bytes: the BMP reader, and the PNG and JPEG
// wrappers over their libraries (one target each: VORN_FUZZ_READER is read_bmp, read_png or
// read_jpeg), into either layout. Each ends with pixels that fill exactly the declared size,
// within the picture limit, or with a clean refusal of the input; nothing else may escape, and
// no byte outside the buffers may be touched (the sanitizers watch).
#include <cstdint>
#include <vector>

#include "bmp_reader.h"
#include "fault.h"
#include "fuzz_support.h"
#include "jpeg_reader.h"
#include "png_codec.h"
#include "vorn.h"

namespace {

// Small enough that the fuzzer's memory limit belongs to real faults, large enough for every
// picture it makes.
const read_limits limits{uint64_t(1) << 22, "--max-megapixels"};

volatile uint8_t sink;

// PNG files are read on two threads, so that a file claiming to be written in pieces reaches the
// piece reader.
[[maybe_unused]] rgb_picture read_png_on_two_threads(const std::vector<uint8_t>& file, const std::string& path,
                                                     const read_limits& limits, pixel_layout layout)
{
    return read_png(file, path, limits, layout, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> file(data, data + size);
    for (const pixel_layout layout : {pixel_layout::rgb, pixel_layout::coder_image}) {
        try {
            const rgb_picture picture = VORN_FUZZ_READER(file, "in", limits, layout);
            expect(picture.width > 0 && picture.height > 0, "a picture without pixels was read");
            const uint64_t pixels = uint64_t(picture.width) * picture.height;
            expect(pixels <= limits.max_pixels, "a picture beyond the limit was read");
            if (layout == pixel_layout::rgb) {
                expect(picture.rgb.size() == pixels * 3, "the pixels do not fill the declared size");
                sink = picture.rgb.data()[picture.rgb.size() - 1];
            } else {
                vorn_geometry geometry;
                expect(vorn_check_carrier(picture.image.data(), picture.image.size(), &geometry) == VORN_OK &&
                           geometry.width == picture.width && geometry.height == picture.height,
                       "the coder file image is not the picture's");
                sink = picture.image.back();
            }
        } catch (const kit_fault& refused) {
            expect(refused.kind == kit::fault::input || refused.kind == kit::fault::memory,
                   "a picture was refused with another class than input or memory");
            expect(refused.text.rfind("in: ", 0) == 0, "a refusal does not name its file");
        }
    }
    return 0;
}
