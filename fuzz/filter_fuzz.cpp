// The reveal filter, run whole through filter_main.
//
//   byte 0, bits 0-1: what stands at "out.bmp" before the run (see obstacle_from)
//   the rest: the input file
#include <algorithm>

#include "bmp.h"
#include "filter.h"
#include "fuzz_support.h"

namespace {

// The header fields the filter prints end at byte 26.
constexpr size_t min_input_length = 26;

// The head (offset_raster bytes, taken unsigned, at most the whole file) is copied; every later
// byte is shifted left by four bits.
void expect_revealed(const uint8_t* input, size_t length)
{
    const byte_string out = file_bytes("out.bmp");
    expect(out.size() == length, "out.bmp has another length than the input");
    const size_t head = std::min<size_t>(uint32_t(read_le32(input + 10)), length);
    for (size_t i = 0; i < length; ++i)
        expect(out[i] == (i < head ? input[i] : uint8_t(input[i] << 4)), "an out.bmp byte is wrong");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const obstacle out = obstacle_from(data[0], 0);
    const uint8_t* input = data + 1;
    const size_t length = size - 1;

    const scratch_visit visit;
    put_file("in.bmp", input, length);
    put_obstacle("out.bmp", out);
    const run_record run = run_entry(filter_main, "vornlens", "in.bmp");

    if (length < min_input_length) {
        expect_end(run, 30000, "Main file not supported!\n");
        expect(out != obstacle::none || !entry_exists("out.bmp"), "out.bmp written for a stub");
        return 0;
    }
    expect(run.console.find("Applying filter...\n") != std::string::npos, "the filter did not run");
    switch (out) {
    case obstacle::none:
        expect_end(run, 30000, "");
        expect_revealed(input, length);
        break;
    case obstacle::folder:
    case obstacle::fifo: expect_end(run, 30000, "Can't open file for writing!\n"); break;
    case obstacle::full_disk:
        expect_end(run, 30000, "Can't write file!\n");
        expect(file_bytes("out.bmp") == older_file, "the older out.bmp was not kept");
        break;
    }
    return 0;
}
