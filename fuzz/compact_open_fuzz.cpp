// Opening a compact picture without a password, on any file: reading it as a picture whose low
// bits matter, finding the salt, trying the header at every k and in both layouts of the stealth
// embedding's keyed order (a seed of each), then the body and the pictures in it. Mutations of a compact picture's high bits keep it authentic (only the low bits are
// checked), so the seeds' pictures are decoded again and again. Each run opens the picture, finds
// no compact picture, or refuses it with an input fault that names the file; nothing else may
// escape, and no byte outside the buffers may be touched.
#include <cstdint>
#include <vector>

#include "compact_steps.h"
#include "fault.h"
#include "fuzz_support.h"
#include "kit.h"

namespace {

const read_limits limits{uint64_t(1) << 16, "--max-megapixels"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    input_picture picture;
    kit::status status = kit::read_picture(kit::bytes(data, data + size), "in", picture_role::coded, limits, picture);
    kit::bytes coded;
    if (status.ok()) status = kit::image_of(std::move(picture), coded);
    if (!status.ok()) return 0;  // the readers have targets of their own

    const bool header_opens = opens_as_compact(coded);
    kit::decode_result result;
    bool opened = false;
    try {
        opened = open_compact(coded, "in", nullptr, limits, result, {});
    } catch (const kit_fault& refused) {
        expect(refused.kind == kit::fault::input, "a compact picture refused with another kind than input");
        expect(refused.text.rfind("in: ", 0) == 0, "a refusal that does not name its file");
        expect(header_opens, "a refusal of a picture whose header does not open");
        return 0;
    }
    expect(opened == header_opens, "the header opens, but the picture is neither opened nor refused");
    if (!opened) return 0;
    expect(result.compact && !result.keyed, "an opened picture not marked compact");
    expect(result.stealth ? result.carrier_bits == 0
                          : result.carrier_bits >= 1 && result.carrier_bits <= VORN_COMPACT_MAX_BITS,
           "k out of range");
    expect(!result.pictures[0].empty() || !result.pictures[1].empty(), "a compact picture without pictures");
    for (const rgb_picture& taken : result.pictures) {
        if (taken.empty()) continue;
        expect(taken.layout == pixel_layout::rgb && taken.rgb.size() == size_t(taken.width) * taken.height * 3,
               "a picture whose pixels are not its size's");
        expect(uint64_t(taken.width) * taken.height <= limits.max_pixels, "a picture beyond the limit");
    }
    return 0;
}
