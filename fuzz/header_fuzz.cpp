// Header reading and checks on any bytes. The input is taken as a main picture; when its length
// is even, its two halves are also tried as a main picture and a hidden one.
//
// Every accepted geometry must describe a raster that lies inside the file image: the last byte
// of the last row is read, so a geometry that lies is caught by the address sanitizer even
// where the arithmetic below agrees with the code.
#include <cstdint>

#include "bmp.h"
#include "header_checks.h"
#include "file_image.h"
#include "fuzz_support.h"

namespace {

volatile uint8_t sink;

void expect_sound_geometry(const uint8_t* image, uint32_t length, const raster_geometry& g)
{
    const bmp_header header = read_bmp_header(image);
    expect(g.length == length, "the geometry's length is not the file's");
    expect(header.width >= 0 && header.height >= 0, "a negative side was accepted");
    expect(g.width == uint32_t(header.width) && g.height == uint32_t(header.height) &&
               g.offset_raster == uint32_t(header.offset_raster),
           "the geometry differs from the header");
    expect(g.string_length == uint64_t(g.width) * 3 + (g.width & 3), "wrong string_length");
    expect(g.string_length <= 0x7FFFFFFF, "a row too long for 32-bit strides was accepted");
    const uint64_t raster_end = uint64_t(g.offset_raster) + uint64_t(g.height) * g.string_length;
    expect(raster_end <= length, "the raster runs past the end of the file");
    if (g.width > 0 && g.height > 0)
        sink = image[g.offset_raster + uint64_t(g.height - 1) * g.string_length + g.width * 3 - 1];
}

header_check check(const uint8_t* image, size_t size)
{
    raster_geometry g{};
    const header_check result = check_main_header(image, uint32_t(size), g);
    if (result == header_check::accepted) expect_sound_geometry(image, uint32_t(size), g);
    if (result == header_check::not_supported && size >= bmp_min_header_length) {
        const bmp_header h = read_bmp_header(image);
        expect(h.magic != bmp_magic || h.bit_count != bmp_bit_count || h.width < 0 ||
                   h.height < 0 || string_length(h.width) > 0x7FFFFFFF,
               "a well-formed header was refused as not supported");
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > max_file_length) return 0;
    const header_check whole = check(data, size);
    if (size < bmp_min_header_length) expect(whole == header_check::not_supported, "a stub was accepted");

    if (size % 2 != 0) return 0;
    const size_t half = size / 2;
    const uint8_t* hidden = data + half;
    raster_geometry main{};
    if (check_main_header(data, uint32_t(half), main) != header_check::accepted) return 0;
    expect_sound_geometry(data, uint32_t(half), main);

    const bmp_header h = read_bmp_header(hidden);
    const bool matches = h.magic == bmp_magic && h.bit_count == bmp_bit_count &&
                         h.width == int32_t(main.width) && h.height == int32_t(main.height) &&
                         h.offset_raster == int32_t(main.offset_raster);
    expect(same_geometry(hidden, uint32_t(half), main) == matches, "same_geometry judged wrongly");
    expect(!same_geometry(hidden, uint32_t(half) - 1, main), "a shorter hidden picture was taken");
    if (matches) expect(check(hidden, half) == header_check::accepted, "a matching picture fails the check");
    return 0;
}
