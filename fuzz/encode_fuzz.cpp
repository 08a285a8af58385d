// The coder's encode mode, run whole through coder_main, on a main picture and up to two hidden
// pictures cut from the input.
//
//   byte 0, bits 0-1 and 2-3: hidden picture 1 and 2: 0 absent, 1 the next part, 2 the next part
//           less its last byte (refused unread), 3 a folder in its place
//   byte 0, bit 4: the build (vornhold2 when clear)
//   byte 0, bits 5-6: what stands at "Coded.bmp" before the run (see obstacle_from)
//   byte 0, bit 7: a hidden picture's folder is a FIFO instead
//   the rest: cut into equal parts, the main picture first, then each hidden picture that is a part
#include <algorithm>
#include <string>

#include "bmp.h"
#include "header_checks.h"
#include "coder.h"
#include "fuzz_support.h"

namespace {

enum hidden_kind { absent, part, part_less_one, folder };

struct picture {
    const uint8_t* data;
    size_t size;
};

const char* failure_expected(const picture& main, obstacle coded)
{
    raster_geometry g{};
    switch (check_main_header(main.data, uint32_t(main.size), g)) {
    case header_check::not_supported: return "Main file not supported!\n";
    case header_check::corrupted: return "Main file corrupted!\n";
    case header_check::accepted: break;
    }
    if (coded == obstacle::folder || coded == obstacle::fifo) return "Can't open Coded.bmp for writing!\n";
    if (coded == obstacle::full_disk) return "Can't write Coded.bmp!\n";
    return "";
}

// A hidden picture is dithered exactly when it is a part of the main picture's length whose
// header matches; otherwise its message says why it was left out. Returns whether it was used.
bool expect_hidden_report(const run_record& run, const char* number, hidden_kind kind,
                          const picture& hidden, const picture& main)
{
    const std::string loading = std::string("Loading hidden ") + number + " file...\r\nHidden " +
                                number + ".bmp\r\n";
    const std::string dithering = std::string("Hidden ") + number + " dithering...\n";
    raster_geometry g{};
    check_main_header(main.data, uint32_t(main.size), g);
    const bool used = kind == part && same_geometry(hidden.data, uint32_t(hidden.size), g);
    const std::string report = kind == absent || kind == folder
                                   ? std::string("Can't open hidden ") + number + " file!\n"
                               : used ? std::string()
                                      : std::string("Hidden ") + number + " file not supported!\n";
    expect(run.console.find(loading + report) != std::string::npos, "wrong hidden picture report");
    expect((run.console.find(dithering) != std::string::npos) == used, "wrong hidden picture use");
    return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const uint8_t control = data[0];
    const hidden_kind kind1 = hidden_kind(control & 3), kind2 = hidden_kind(control >> 2 & 3);
    const coder_build build = control & 0x10 ? coder_build::vornhold : coder_build::vornhold2;
    const obstacle coded = obstacle_from(control, 5);

    const size_t parts = 1 + (kind1 == part || kind1 == part_less_one) + (kind2 == part || kind2 == part_less_one);
    const size_t part_size = (size - 1) / parts;
    const uint8_t* next = data + 1;
    const auto cut = [&](hidden_kind kind) {
        if (kind != part && kind != part_less_one) return picture{nullptr, 0};
        const picture p{next, kind == part_less_one && part_size > 0 ? part_size - 1 : part_size};
        next += part_size;
        return p;
    };
    const picture main = cut(part), hidden1 = cut(kind1), hidden2 = cut(kind2);

    const scratch_visit visit;
    put_file("Main.bmp", main.data, main.size);
    const obstacle not_a_file = control & 0x80 ? obstacle::fifo : obstacle::folder;
    const auto lay_hidden = [not_a_file](const char* name, hidden_kind kind, const picture& p) {
        if (kind == folder) put_obstacle(name, not_a_file);
        if (p.data) put_file(name, p.data, p.size);
    };
    lay_hidden("Hidden 1.bmp", kind1, hidden1);
    lay_hidden("Hidden 2.bmp", kind2, hidden2);
    put_obstacle("Coded.bmp", coded);

    const run_record run = run_entry(
        [build](int argc, char** argv) { return coder_main(argc, argv, build); }, "vornhold2", "Main.bmp");
    const char* failure = failure_expected(main, coded);
    expect_end(run, 5000, failure);

    raster_geometry g{};
    if (check_main_header(main.data, uint32_t(main.size), g) != header_check::accepted) {
        expect(run.console.find("Loading hidden") == std::string::npos, "a refused main picture was encoded");
        expect(coded != obstacle::none || !entry_exists("Coded.bmp"), "Coded.bmp written for a refused picture");
        return 0;
    }
    const bool used1 = expect_hidden_report(run, "1", kind1, hidden1, main);
    const bool used2 = expect_hidden_report(run, "2", kind2, hidden2, main);
    if (coded == obstacle::full_disk)
        expect(file_bytes("Coded.bmp") == older_file, "the older Coded.bmp was not kept");
    if (coded != obstacle::none) return 0;

    // The header is copied unchanged; with no hidden picture every low nibble is 0.
    const byte_string out = file_bytes("Coded.bmp");
    expect(out.size() == main.size, "Coded.bmp has another length than the main picture");
    expect(std::equal(main.data, main.data + g.offset_raster, out.begin()), "the header was changed");
    if (!used1 && !used2)
        for (size_t i = g.offset_raster; i < out.size(); ++i)
            expect((out[i] & 0x0F) == 0, "a low nibble is set without hidden pictures");
    return 0;
}
