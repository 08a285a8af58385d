// vorn's readers of untrusted pictures on any bytes: the BMP reader, and the PNG and JPEG
// wrappers over their libraries (one target each: VORN_FUZZ_READER is read_bmp, read_png or
// read_jpeg). Each ends with pixels that fill exactly the declared size, within the picture
// limit, or with a clean refusal of the input; nothing else may escape, and no byte outside
// the buffers may be touched (the sanitizers watch).
#include <cstdint>
#include <vector>

#include "bmp_reader.h"
#include "failure.h"
#include "fuzz_support.h"
#include "jpeg_reader.h"
#include "png_codec.h"

namespace {

// Small enough that the fuzzer's memory limit belongs to real faults, large enough for every
// picture it makes.
const read_limits limits{uint64_t(1) << 22, "--max-megapixels"};

volatile uint8_t sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> file(data, data + size);
    try {
        const rgb_picture picture = VORN_FUZZ_READER(file, "in", limits);
        expect(picture.width > 0 && picture.height > 0, "a picture without pixels was read");
        const uint64_t pixels = uint64_t(picture.width) * picture.height;
        expect(pixels <= limits.max_pixels, "a picture beyond the limit was read");
        expect(picture.rgb.size() == pixels * 3, "the pixels do not fill the declared size");
        sink = picture.rgb.data()[picture.rgb.size() - 1];
    } catch (const failure& refused) {
        expect(refused.code == exit_class::input || refused.code == exit_class::memory,
               "a picture was refused with another class than input or memory");
        expect(refused.message.rfind("in: ", 0) == 0, "a refusal does not name its file");
    }
    return 0;
}
