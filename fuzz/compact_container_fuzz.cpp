// The compact form's container as it is once decrypted, on any bytes: the header held to the
// format and the stored pictures (WebP, JPEG) decoded and held to their entries, within a small
// pixel limit. Anyone can write a compact picture without a password, so these bytes are anyone's.
// Each run opens the container with pictures of the sizes its entries give, finds no container,
// or refuses a picture with an input fault that names it; nothing else may escape, and no byte
// outside the buffers may be touched.
#include <cstdint>
#include <vector>

#include "compact_container.h"
#include "fault.h"
#include "fuzz_support.h"

namespace {

// Enough for the pictures the fuzzer makes, small enough that no input takes much memory.
const read_limits limits{uint64_t(1) << 16, "--max-megapixels"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> container(data, data + size);
    rgb_picture pictures[2];
    bool opened = false;
    try {
        opened = open_plain_container(container, limits, pictures);
    } catch (const kit_fault& refused) {
        expect(refused.kind == kit::fault::input, "a stored picture refused with another kind than input");
        expect(refused.text.rfind("container: hidden picture ", 0) == 0, "a refusal that does not name the picture");
        return 0;
    }
    if (!opened) {
        expect(pictures[0].empty() && pictures[1].empty(), "pictures from a container that did not open");
        return 0;
    }
    compact_header header;
    expect(read_header(container.data(), header, container.size() - compact_header_bytes), "an opened container's header does not read");
    for (const stored_entry& entry : header.entries) {
        const rgb_picture& picture = pictures[entry.which - 1];
        expect(picture.layout == pixel_layout::rgb &&
                   picture.rgb.size() == size_t(picture.width) * picture.height * 3,
               "a picture whose pixels are not its size's");
        expect(picture.width == entry.width && picture.height == entry.height, "a picture of another size than its entry's");
        expect(uint64_t(picture.width) * picture.height <= limits.max_pixels, "a picture beyond the limit");
    }
    return 0;
}
