// The coder's decode mode, run whole through coder_main on a file named "Coded.bmp".
//
//   byte 0, bit 0: the build (vornhold2 when clear)
//   byte 0, bits 1-2: 0 nothing in the way, 1 a folder at "Decoded_1.bmp", 2 a folder at
//           "Decoded_2.bmp", 3 an older "Decoded_2.bmp" on a disk that fills up
//   byte 0, bit 3: a FIFO instead of either folder
//   the rest: the coded picture
#include <algorithm>

#include "bmp.h"
#include "header_checks.h"
#include "coder.h"
#include "layout.h"
#include "fuzz_support.h"
#include "permute.h"

namespace {

// Decoded_1 is never moved: the two low bits of every byte from the raster on, at the top.
// Decoded_2 holds the low nibble at the top, in the build's bit order; where the permutation may
// have moved pixels, only row padding and bytes after the last row are known in place.
void expect_decoded(const uint8_t* coded, const raster_geometry& g, coder_build build)
{
    const byte_string first = file_bytes("Decoded_1.bmp"), second = file_bytes("Decoded_2.bmp");
    expect(first.size() == g.length && second.size() == g.length, "a decoded file has the wrong length");
    expect(std::equal(coded, coded + g.offset_raster, first.begin()) &&
               std::equal(coded, coded + g.offset_raster, second.begin()),
           "a decoded header differs from the coded one");
    const bool moved = is_power_of_two(g.width) && is_power_of_two(g.height);
    const uint64_t pixel_end = uint64_t(g.height) * g.string_length;
    for (size_t j = g.offset_raster; j < g.length; ++j) {
        expect(first[j] == uint8_t(coded[j] << 6), "a Decoded_1 byte is wrong");
        const size_t i = j - g.offset_raster;
        const bool pixel = i < pixel_end && i % g.string_length < size_t(g.width) * 3;
        if (moved && pixel) continue;
        const uint8_t nibble = coded[j] & 0x0F;
        const uint8_t stored = build == coder_build::vornhold2 ? reverse_nibble(nibble) : nibble;
        expect(second[j] == uint8_t(stored << 4), "a Decoded_2 byte is wrong");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const coder_build build = data[0] & 1 ? coder_build::vornhold : coder_build::vornhold2;
    const int blocked = data[0] >> 1 & 3;
    const uint8_t* coded = data + 1;
    const size_t length = size - 1;

    const scratch_visit visit;
    put_file("Coded.bmp", coded, length);
    const obstacle not_a_file = data[0] & 8 ? obstacle::fifo : obstacle::folder;
    if (blocked == 1) put_obstacle("Decoded_1.bmp", not_a_file);
    if (blocked == 2) put_obstacle("Decoded_2.bmp", not_a_file);
    if (blocked == 3) put_obstacle("Decoded_2.bmp", obstacle::full_disk, 1);

    const run_record run = run_entry(
        [build](int argc, char** argv) { return coder_main(argc, argv, build); }, "vornhold2", "Coded.bmp");
    raster_geometry g{};
    switch (check_main_header(coded, uint32_t(length), g)) {
    case header_check::not_supported: expect_end(run, 5000, "Main file not supported!\n"); break;
    case header_check::corrupted: expect_end(run, 5000, "Main file corrupted!\n"); break;
    case header_check::accepted:
        expect(run.console.find("\nWriting file's...\n") != std::string::npos, "a coded picture was not decoded");
        if (blocked == 0) {
            expect_end(run, 5000, "");
            expect_decoded(coded, g, build);
        } else {
            expect_end(run, 5000, blocked == 3 ? "Can't write file!\n" : "Can't open file for writing!\n");
            expect(blocked == 1 || file_bytes("Decoded_1.bmp").size() == g.length,
                   "Decoded_1.bmp is not complete when Decoded_2.bmp failed");
            if (blocked == 1) expect(!entry_exists("Decoded_2.bmp"), "Decoded_2.bmp written after a failure");
            if (blocked == 3) expect(file_bytes("Decoded_2.bmp") == older_file, "the older Decoded_2.bmp was not kept");
        }
        return 0;
    }
    expect(!entry_exists("Decoded_1.bmp") || blocked == 1, "a refused picture was decoded");
    return 0;
}
