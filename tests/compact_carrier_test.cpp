// The compact form's carrier: a stream laid into the low bits comes back bit for bit, the carrier
// keeps its tones in the bits above, and wrong sizes are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "bmp_builder.h"
#include "vorn.h"

namespace {

vorn_geometry geometry_of(const bytes& image)
{
    vorn_geometry g{};
    EXPECT_EQ(vorn_check_carrier(image.data(), image.size(), &g), VORN_OK);
    return g;
}

bytes random_stream(const vorn_geometry& g, unsigned k, uint32_t seed)
{
    size_t length = 0;
    EXPECT_EQ(vorn_compact_stream_length(&g, k, &length), VORN_OK);
    std::mt19937 draw(seed);
    bytes stream(length);
    for (uint8_t& b : stream) b = uint8_t(draw());
    // Bits beyond the last field are not stored: 0, as reading gives them.
    const uint64_t used = uint64_t(g.width) * 3 * g.height * k;
    if (used % 8) stream.back() = uint8_t(stream.back() & (0xFF << (8 - used % 8)));
    return stream;
}

// Codes `carrier` with `stream` at k bits and gives the coded picture.
bytes coded_with(bytes carrier, unsigned k, const bytes& stream)
{
    const vorn_geometry g = geometry_of(carrier);
    size_t work_size = 0;
    EXPECT_EQ(vorn_compact_carrier_work_size(&g, &work_size), VORN_OK);
    bytes work(work_size + 1);
    EXPECT_EQ(vorn_compact_carrier(carrier.data(), carrier.size(), k, stream.data(), stream.size(), work.data(),
                                   work_size),
              VORN_OK);
    return carrier;
}

bytes read_fields(const bytes& coded, unsigned k, uint64_t first, uint64_t count)
{
    bytes out((count * k + 7) / 8 + 1, 0xEE);
    EXPECT_EQ(vorn_compact_read(coded.data(), coded.size(), k, first, count, out.data(), out.size()), VORN_OK);
    out.pop_back();
    return out;
}

// Bit i of a packed stream.
unsigned bit_of(const bytes& stream, uint64_t i) { return stream[i / 8] >> (7 - i % 8) & 1; }

TEST(compact_carrier, every_stream_comes_back_whole_and_in_pieces)
{
    struct shape {
        int32_t width, height;
        uint32_t trailing;
    };
    // Odd widths give row padding; one row, one column and bytes after the raster too.
    const shape shapes[] = {{5, 4, 0}, {16, 16, 0}, {1, 7, 3}, {33, 1, 0}, {7, 9, 5}};
    for (const shape& s : shapes)
        for (unsigned k = 1; k <= VORN_COMPACT_MAX_BITS; ++k) {
            SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height) + " k=" + std::to_string(k));
            const bytes carrier = bmp_noise(s.width, s.height, 11 * k, s.trailing);
            const vorn_geometry g = geometry_of(carrier);
            const uint64_t fields = uint64_t(g.width) * 3 * g.height;
            const bytes stream = random_stream(g, k, k);
            const bytes coded = coded_with(carrier, k, stream);
            EXPECT_EQ(read_fields(coded, k, 0, fields), stream);
            // A piece from an odd colour byte on: its fields from bit 0 of the output.
            const uint64_t first = fields / 3, count = fields - first - 1;
            const bytes piece = read_fields(coded, k, first, count);
            bool same = true;
            for (uint64_t i = 0; i < count * k; ++i) same &= bit_of(piece, i) == bit_of(stream, first * k + i);
            EXPECT_TRUE(same);
            // Padding and bytes after the raster keep the carrier's high bits, low bits 0.
            const uint8_t mask = uint8_t(0xFF << k);
            for (size_t i = 54; i < coded.size(); ++i) {
                const size_t in_raster = i - 54;
                const bool colour = i < 54 + size_t(g.height) * g.string_length &&
                                    in_raster % g.string_length < size_t(g.width) * 3;
                if (!colour) {
                    EXPECT_EQ(coded[i], carrier[i] & mask) << "byte " << i;
                }
            }
        }
}

TEST(compact_carrier, keeps_the_carrier_tones_at_every_depth)
{
    struct tone_case {
        uint8_t fill;
        unsigned k;
        double most_off;  // the mean coded byte within this of the fill
    };
    // Flat carriers: the mean stays the tone wherever the bits can reach it; at the extremes the
    // clamp costs at most half a step (a white carrier with 7 kept bits must not turn dark).
    const tone_case cases[] = {{200, 1, 0.1}, {200, 2, 0.2}, {200, 3, 0.3}, {200, 4, 0.5}, {37, 4, 0.5},
                               {255, 1, 0.6}, {255, 2, 1.6}, {255, 4, 7.6}, {0, 1, 0.6}, {0, 3, 3.6}};
    for (const tone_case& c : cases) {
        SCOPED_TRACE("fill " + std::to_string(c.fill) + " k=" + std::to_string(c.k));
        const bytes carrier = bmp_file(64, 64, c.fill);
        const bytes coded = coded_with(carrier, c.k, random_stream(geometry_of(carrier), c.k, c.fill));
        double sum = 0;
        for (size_t i = 54; i < coded.size(); ++i) sum += coded[i];
        EXPECT_NEAR(sum / double(coded.size() - 54), c.fill, c.most_off);
    }
}

TEST(compact_carrier, loses_about_six_decibels_per_low_bit)
{
    // A smooth gradient: the dithering's noise grows with the step, 4 times the power per bit.
    bytes carrier = bmp_file(128, 128, 0);
    for (size_t i = 54; i < carrier.size(); ++i) carrier[i] = uint8_t(16 + (i - 54) % 384 / 2);
    double psnr[VORN_COMPACT_MAX_BITS + 1] = {};
    for (unsigned k = 1; k <= VORN_COMPACT_MAX_BITS; ++k) {
        const bytes coded = coded_with(carrier, k, random_stream(geometry_of(carrier), k, 3));
        double squared = 0;
        for (size_t i = 54; i < coded.size(); ++i) squared += std::pow(double(coded[i]) - carrier[i], 2);
        psnr[k] = 10 * std::log10(255.0 * 255.0 * double(coded.size() - 54) / squared);
    }
    EXPECT_GT(psnr[2], 44.5) << psnr[1] << " " << psnr[2] << " " << psnr[3] << " " << psnr[4];
    for (unsigned k = 2; k <= VORN_COMPACT_MAX_BITS; ++k) EXPECT_NEAR(psnr[k - 1] - psnr[k], 6.0, 1.0) << "k=" << k;
}

TEST(compact_carrier, refuses_what_does_not_fit)
{
    bytes carrier = bmp_file(4, 4, 100);
    const vorn_geometry g = geometry_of(carrier);
    size_t length = 0, work_size = 0;
    ASSERT_EQ(vorn_compact_stream_length(&g, 3, &length), VORN_OK);
    EXPECT_EQ(length, size_t(18));  // 48 fields of 3 bits
    ASSERT_EQ(vorn_compact_carrier_work_size(&g, &work_size), VORN_OK);
    bytes stream(length), work(work_size), out(64);
    struct refusal {
        const char* what;
        vorn_error error;
        vorn_error expected;
    };
    const refusal refusals[] = {
        {"no bits", vorn_compact_stream_length(&g, 0, &length), VORN_ERR_ARGUMENT},
        {"five bits", vorn_compact_carrier(carrier.data(), carrier.size(), 5, stream.data(), length, work.data(), work_size), VORN_ERR_ARGUMENT},
        {"short stream", vorn_compact_carrier(carrier.data(), carrier.size(), 3, stream.data(), length - 1, work.data(), work_size), VORN_ERR_BUFFER_TOO_SMALL},
        {"short work", vorn_compact_carrier(carrier.data(), carrier.size(), 3, stream.data(), length, work.data(), work_size - 1), VORN_ERR_BUFFER_TOO_SMALL},
        {"null work", vorn_compact_carrier(carrier.data(), carrier.size(), 3, stream.data(), length, nullptr, work_size), VORN_ERR_ARGUMENT},
        {"not a BMP", vorn_compact_carrier(carrier.data(), 20, 3, stream.data(), length, work.data(), work_size), VORN_ERR_HEADER_TOO_SHORT},
        {"past the end", vorn_compact_read(carrier.data(), carrier.size(), 2, 40, 9, out.data(), out.size()), VORN_ERR_RANGE},
        {"first past the end", vorn_compact_read(carrier.data(), carrier.size(), 2, 49, 0, out.data(), out.size()), VORN_ERR_RANGE},
        {"short output", vorn_compact_read(carrier.data(), carrier.size(), 4, 0, 48, out.data(), 23), VORN_ERR_BUFFER_TOO_SMALL},
    };
    for (const refusal& r : refusals) EXPECT_EQ(r.error, r.expected) << r.what;
    EXPECT_EQ(carrier, bmp_file(4, 4, 100));  // nothing written on a refusal
    // Nothing to read is no fault.
    EXPECT_EQ(vorn_compact_read(carrier.data(), carrier.size(), 1, 48, 0, nullptr, 0), VORN_OK);
}

}  // namespace
