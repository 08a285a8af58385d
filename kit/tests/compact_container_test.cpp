// The compact form's container on plaintext: every header that breaks the format is refused
// before anything is allocated, and every stored picture is held to its entry and the limits.
#include <gtest/gtest.h>

#include <functional>

#include "compact_container.h"
#include "fault.h"
#include "kit_pictures.h"

namespace {

rgb_picture pixels(const test_picture& picture) { return kit_picture_of(picture); }

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
}

TEST(compact_container, holds_every_header_and_picture_to_its_entry)
{
    const test_picture first = crop(sample("Hidden 1.bmp"), 10, 20, 33, 21), second = crop(sample("Main.bmp"), 0, 0, 16, 40);
    const std::vector<uint8_t> webp = encode_stored(pixels(first), stored_codec::webp_lossless, 6);
    const std::vector<uint8_t> jpeg = encode_stored(pixels(second), stored_codec::jpeg, 80);
    const std::vector<stored_entry> entries = {{1, stored_codec::webp_lossless, 33, 21, uint32_t(webp.size())},
                                               {2, stored_codec::jpeg, 16, 40, uint32_t(jpeg.size())}};
    std::vector<uint8_t> valid = header_bytes(entries, 1, 2);
    valid.insert(valid.end(), webp.begin(), webp.end());
    valid.insert(valid.end(), jpeg.begin(), jpeg.end());

    enum class outcome { opens, not_a_header, input_fault };
    struct row {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> change;
        outcome expected;
        uint64_t max_pixels = uint64_t(1) << 28;
    };
    const size_t entry2 = 24;
    const row rows[] = {
        {"as written", [](std::vector<uint8_t>&) {}, outcome::opens},
        {"another version", [](std::vector<uint8_t>& c) { c[0] = 3; }, outcome::not_a_header},
        {"version 2 naming no embedding", [](std::vector<uint8_t>& c) { c[2] = 0; }, outcome::not_a_header},
        {"version 1", [](std::vector<uint8_t>& c) { c[0] = 1; c[2] = c[3] = 0; }, outcome::opens},
        {"version 1 naming an embedding", [](std::vector<uint8_t>& c) { c[0] = 1; }, outcome::not_a_header},
        {"no picture", [](std::vector<uint8_t>& c) { c[1] = 0; }, outcome::not_a_header},
        {"three pictures", [](std::vector<uint8_t>& c) { c[1] = 3; }, outcome::not_a_header},
        {"one picture, a second entry", [](std::vector<uint8_t>& c) { c[1] = 1; }, outcome::not_a_header},
        {"an entry's reserved byte set", [&](std::vector<uint8_t>& c) { c[entry2 + 2] = 1; }, outcome::not_a_header},
        {"entries out of order", [&](std::vector<uint8_t>& c) { c[8] = 2; c[entry2] = 1; }, outcome::not_a_header},
        {"picture 3", [&](std::vector<uint8_t>& c) { c[entry2] = 3; }, outcome::not_a_header},
        {"an unknown codec", [&](std::vector<uint8_t>& c) { c[entry2 + 1] = 4; }, outcome::not_a_header},
        {"no width", [](std::vector<uint8_t>& c) { put32(c, 12, 0); }, outcome::not_a_header},
        {"wider than WebP holds", [](std::vector<uint8_t>& c) { put32(c, 12, 16384); }, outcome::not_a_header},
        {"an empty file", [&](std::vector<uint8_t>& c) { put32(c, entry2 + 12, 0); }, outcome::not_a_header},
        {"lengths that do not add up", [](std::vector<uint8_t>& c) { put32(c, 4, uint32_t(c.size())); }, outcome::not_a_header},
        {"a body beyond the container", [&](std::vector<uint8_t>& c) { c.resize(c.size() - 1); }, outcome::not_a_header},
        {"the codecs swapped", [&](std::vector<uint8_t>& c) { c[9] = 3; c[entry2 + 1] = 1; }, outcome::input_fault},
        {"lossy WebP named for lossless", [](std::vector<uint8_t>& c) { c[9] = 2; }, outcome::input_fault},
        {"a size its WebP has not", [](std::vector<uint8_t>& c) { put32(c, 12, 34); }, outcome::input_fault},
        {"a size its JPEG has not", [&](std::vector<uint8_t>& c) { put32(c, entry2 + 4, 17); }, outcome::input_fault},
        {"a broken WebP", [&](std::vector<uint8_t>& c) { for (size_t i = 40 + 20; i < 40 + webp.size(); ++i) c[i] = 0x55; }, outcome::input_fault},
        {"a broken JPEG", [&](std::vector<uint8_t>& c) { for (size_t i = 40 + webp.size() + 30; i < c.size(); ++i) c[i] = 0; }, outcome::input_fault},
        {"more pixels than allowed", [](std::vector<uint8_t>&) {}, outcome::input_fault, 33 * 21 - 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<uint8_t> container = valid;
        r.change(container);
        read_limits limits;
        limits.max_pixels = r.max_pixels;
        rgb_picture pictures[2];
        bool opened = false;
        try {
            opened = open_plain_container(container, limits, pictures);
        } catch (const kit_fault& fault) {
            EXPECT_EQ(r.expected, outcome::input_fault) << fault.text;
            EXPECT_EQ(fault.kind, kit::fault::input);
            EXPECT_EQ(fault.text.rfind("container: hidden picture ", 0), 0u) << fault.text;
            continue;
        }
        EXPECT_EQ(opened, r.expected == outcome::opens);
        if (!opened) continue;
        const test_picture back[2] = {pixels_of(pictures[0]), pixels_of(pictures[1])};
        EXPECT_EQ(back[0].rgb, first.rgb);  // lossless
        EXPECT_EQ(back[1].width, second.width);
        EXPECT_GT(psnr(back[1], second), 30);
    }
}

}  // namespace
