// The PNG writer's rows taken straight from a coder file image, PNG files written and read in
// pieces on several threads, and jobs run side by side.
#include <gtest/gtest.h>

#include <zlib.h>

#include <spng.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fault.h"
#include "png_codec.h"
#include "png_pieces.h"
#include "side_by_side.h"
#include "vorn.h"
#include "vorn_fixture.h"

namespace {

// Pixels that vary enough to fill deflate's blocks yet repeat enough for matches: a ramp with a
// pattern over it.
bytes test_pixels(uint32_t width, uint32_t height, uint32_t seed)
{
    bytes rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i / 3 % 251 + (i * seed) % 7 * 9 + i / (size_t(width) * 3));
    return rgb;
}

std::vector<uint8_t> png_of_rows(const bytes& rgb, uint32_t width, uint32_t height, const png_settings& settings,
                                 unsigned threads)
{
    return write_png(
        width, height, [&](uint32_t y, uint8_t*) { return rgb.data() + size_t(y) * width * 3; }, "t.png", settings,
        {}, threads);
}

// What vorn's own reading gives, the pixels R G B, and how it read them (nothing when it leaves
// the file to libspng).
struct own_reading {
    png_image_read how;
    bytes rgb;
};

own_reading read_without_libspng(const bytes& png, uint32_t width, uint32_t height, int channels, unsigned threads)
{
    rgb_picture picture;
    size_picture(picture, width, height, read_limits(), "t.png", png_read_room(width, height, channels));
    const png_image_read how = read_png_image(png, width, height, channels, picture, threads);
    if (how == png_image_read::none) return {how, {}};
    return {how, bytes(picture.rgb.data(), picture.rgb.data() + picture.rgb.size())};
}

// The file with chunk `type`'s data replaced (its CRC made right again), or a chunk inserted
// before the first IDAT when it has none.
bytes with_chunk(bytes png, const char* type, const bytes& data)
{
    size_t at = 8;
    const auto length_at = [&png](size_t where) {
        return size_t(png[where]) << 24 | size_t(png[where + 1]) << 16 | size_t(png[where + 2]) << 8 | png[where + 3];
    };
    while (std::memcmp(&png[at + 4], type, 4) != 0 && std::memcmp(&png[at + 4], "IDAT", 4) != 0)
        at += 12 + length_at(at);
    if (std::memcmp(&png[at + 4], type, 4) == 0) png.erase(png.begin() + ptrdiff_t(at), png.begin() + ptrdiff_t(at + 12 + length_at(at)));
    bytes chunk{uint8_t(data.size() >> 24), uint8_t(data.size() >> 16), uint8_t(data.size() >> 8), uint8_t(data.size())};
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    const uint32_t crc = uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4)));
    for (int i = 0; i < 4; ++i) chunk.push_back(uint8_t(crc >> (24 - 8 * i)));
    png.insert(png.begin() + ptrdiff_t(at), chunk.begin(), chunk.end());
    return png;
}

// The writer's files are the same for any number of threads and give back their pixels to
// libspng and to vorn's own reading, in one piece or several (a column, a single row, odd sizes,
// pictures of two and three pieces), in both layouts a reader fills.
TEST(PngPieces, TheSameFileOnAnyThreadsAndItsPixelsBackToEveryReader)
{
    const struct {
        uint32_t width, height;
    } sizes[] = {{1, 1}, {1, 300000}, {5, 7}, {3000, 1}, {700, 600}, {333, 2500}};
    for (const auto& size : sizes)
        for (const png_settings* settings : {&coded_png_settings, &decoded_png_settings}) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
            const bytes rgb = test_pixels(size.width, size.height, settings->filters + 3);
            const bytes png = png_of_rows(rgb, size.width, size.height, *settings, 1);
            for (const unsigned threads : {2u, 5u}) EXPECT_EQ(png_of_rows(rgb, size.width, size.height, *settings, threads), png);
            EXPECT_EQ(png_pixels(png), rgb);
            for (const unsigned threads : {1u, 3u}) {
                const own_reading read = read_without_libspng(png, size.width, size.height, 3, threads);
                if (threads > 1) {
                    EXPECT_EQ(read.how, png_image_read::in_pieces);
                }
                EXPECT_EQ(read.rgb, rgb);
                const rgb_picture image = read_png(png, "t.png", read_limits(), pixel_layout::coder_image, threads);
                EXPECT_EQ(image.image, bmp_of(rgb, size.width, size.height));
            }
        }
}

// vorn's own reading takes what libspng writes, every filter and alpha included, and gives what
// libspng reads; an interlaced file it leaves to libspng.
TEST(PngReader, ReadsOtherWritersFilesAsLibspngDoes)
{
    const int filters[] = {SPNG_FILTER_CHOICE_NONE, SPNG_FILTER_CHOICE_SUB, SPNG_FILTER_CHOICE_UP,
                           SPNG_FILTER_CHOICE_AVG, SPNG_FILTER_CHOICE_PAETH, SPNG_FILTER_CHOICE_ALL};
    for (const uint32_t width : {1u, 2u, 63u})
        for (const int filter : filters)
            for (const int color_type : {2, 6}) {
                SCOPED_TRACE(std::to_string(width) + " filters " + std::to_string(filter) + " type " + std::to_string(color_type));
                const uint32_t height = 9;
                const bytes rgb = test_pixels(width, height, uint32_t(filter));
                const bytes png = png_of(bmp_of(rgb, width, height), color_type, 8, filter, false);
                const own_reading read = read_without_libspng(png, width, height, color_type == 2 ? 3 : 4, 2);
                EXPECT_EQ(read.how, png_image_read::in_one_pass);
                EXPECT_EQ(read.rgb, rgb);
                EXPECT_EQ(png_pixels(png), rgb);
                EXPECT_EQ(read_png(png, "t.png", read_limits(), pixel_layout::coder_image).image,
                          bmp_of(rgb, width, height));
            }
    const bytes rgb = test_pixels(8, 8, 1);
    EXPECT_EQ(read_without_libspng(png_of(bmp_of(rgb, 8, 8), 2, 8, SPNG_FILTER_CHOICE_ALL, true), 8, 8, 3, 1).how,
              png_image_read::none);
}

// The file with `tail` after the zlib stream, in its last IDAT chunk (its CRC made right again).
bytes with_idat_tail(bytes png, const bytes& tail)
{
    const auto length_at = [&png](size_t where) {
        return uint32_t(png[where]) << 24 | uint32_t(png[where + 1]) << 16 | uint32_t(png[where + 2]) << 8 | png[where + 3];
    };
    size_t at = 8;
    for (size_t next = 8; std::memcmp(&png[next + 4], "IEND", 4) != 0; next += 12 + length_at(next))
        if (std::memcmp(&png[next + 4], "IDAT", 4) == 0) at = next;
    const uint32_t length = length_at(at) + uint32_t(tail.size());
    png.erase(png.begin() + ptrdiff_t(at + 8 + length_at(at)), png.begin() + ptrdiff_t(at + 12 + length_at(at)));
    png.insert(png.begin() + ptrdiff_t(at + 8 + length_at(at)), tail.begin(), tail.end());
    for (int i = 0; i < 4; ++i) png[at + size_t(i)] = uint8_t(length >> (24 - 8 * i));
    const uint32_t crc = uint32_t(crc32(0, &png[at + 4], uInt(length + 4)));
    for (int i = 0; i < 4; ++i) png.insert(png.begin() + ptrdiff_t(at + 8 + length + size_t(i)), uint8_t(crc >> (24 - 8 * i)));
    return png;
}

// The file with its one IDAT chunk's data cut into `count` chunks (the last holds what is left).
bytes with_idat_split(const bytes& png, size_t count)
{
    size_t at = 8;
    const auto length_at = [&png](size_t where) {
        return size_t(png[where]) << 24 | size_t(png[where + 1]) << 16 | size_t(png[where + 2]) << 8 | png[where + 3];
    };
    while (std::memcmp(&png[at + 4], "IDAT", 4) != 0) at += 12 + length_at(at);
    const size_t length = length_at(at), each = length / count;
    bytes split(png.begin(), png.begin() + ptrdiff_t(at));
    for (size_t k = 0; k < count; ++k) {
        const size_t part = k + 1 < count ? each : length - each * k;
        bytes chunk{uint8_t(part >> 24), uint8_t(part >> 16), uint8_t(part >> 8), uint8_t(part), 'I', 'D', 'A', 'T'};
        chunk.insert(chunk.end(), png.begin() + ptrdiff_t(at + 8 + each * k), png.begin() + ptrdiff_t(at + 8 + each * k + part));
        const uint32_t crc = uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4)));
        for (int i = 0; i < 4; ++i) chunk.push_back(uint8_t(crc >> (24 - 8 * i)));
        split.insert(split.end(), chunk.begin(), chunk.end());
    }
    split.insert(split.end(), png.begin() + ptrdiff_t(at + 12 + length), png.end());
    return split;
}

// Image data in several chunks is inflated whole from the file lent to the reader, which holds
// its bytes again afterwards, when the pixels were read and when libspng had to read them.
TEST(PngReader, GivesALentFileBackAsItWas)
{
    const uint32_t width = 61, height = 50;
    const bytes rgb = test_pixels(width, height, 4);
    const bytes one = png_of(bmp_of(rgb, width, height), 2, 8, SPNG_FILTER_CHOICE_ALL, false);
    for (const bytes& png : {with_idat_split(one, 5), with_idat_tail(with_idat_split(one, 3), {9, 9})}) {
        bytes lent = png;
        EXPECT_EQ(read_png(lent, "t.png", read_limits(), pixel_layout::coder_image).image, bmp_of(rgb, width, height));
        EXPECT_EQ(lent, png);
    }
}

// A file whose pieces are not what its chunk says, or that has no pieces but claims them, is read
// in one pass to the same pixels; image data that is damaged, or that vorn's reading does not
// take, is left to libspng, which refuses it or reads it into a picture cleared again.
TEST(PngReader, TrustsNoPiecesItCannotCheckAndLeavesDamageToLibspng)
{
    const uint32_t width = 700, height = 600;
    const bytes rgb = test_pixels(width, height, 5);
    const bytes ours = png_of_rows(rgb, width, height, coded_png_settings, 1);
    const bytes theirs = png_of(bmp_of(rgb, width, height), 2, 8, SPNG_FILTER_CHOICE_ALL, false);
    const struct {
        const char* what;
        bytes png;
    } readable[] = {
        {"pieces of other rows", with_chunk(ours, png_piece_chunk, {0, 0, 0, 7})},
        {"no rows in a piece", with_chunk(ours, png_piece_chunk, {0, 0, 0, 0})},
        {"pieces claimed by libspng's file", with_chunk(theirs, png_piece_chunk, {0, 0, 1, 0})},
    };
    for (const auto& c : readable) {
        SCOPED_TRACE(c.what);
        const own_reading read = read_without_libspng(c.png, width, height, 3, 2);
        EXPECT_EQ(read.how, png_image_read::in_one_pass);
        EXPECT_EQ(read.rgb, rgb);
        EXPECT_EQ(png_pixels(c.png), rgb);
    }
    // Bytes after the stream: libspng reads the rows and stops there; vorn's own reading does not
    // take them, and the padding of the coder file image it began in is cleared again.
    const uint32_t odd = 333;
    const bytes odd_rgb = test_pixels(odd, 40, 2);
    const bytes tailed = with_idat_tail(png_of(bmp_of(odd_rgb, odd, 40), 2, 8, SPNG_FILTER_CHOICE_ALL, false), {1, 2, 3});
    EXPECT_EQ(read_without_libspng(tailed, odd, 40, 3, 1).how, png_image_read::none);
    EXPECT_EQ(read_png(tailed, "t.png", read_limits(), pixel_layout::coder_image).image, bmp_of(odd_rgb, odd, 40));
    bytes flipped = ours;
    flipped[flipped.size() / 2] ^= 0x10;
    const bytes cut(ours.begin(), ours.end() - 40);
    for (const bytes* damaged : {static_cast<const bytes*>(&flipped), &cut}) {
        EXPECT_EQ(read_without_libspng(*damaged, width, height, 3, 2).how, png_image_read::none);
        EXPECT_THROW(read_png(*damaged, "t.png"), kit_fault);
    }
}

// Odd widths leave padding at the end of every BMP row, which must not reach the PNG.
TEST(PngOfImage, GivesBackThePixelsUnderEachSetting)
{
    for (const uint32_t width : {1u, 5u, 64u})
        for (const png_settings* settings : {&coded_png_settings, &decoded_png_settings}) {
            const uint32_t height = 7;
            std::vector<uint8_t> rgb(size_t(width) * height * 3);
            for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 37 + i / 5);
            size_t length = 0;
            ASSERT_EQ(vorn_bmp_length(width, height, &length), VORN_OK);
            std::vector<uint8_t> image(length);
            ASSERT_EQ(vorn_bmp_from_rgb(rgb.data(), width, height, size_t(width) * 3, 3, image.data(), image.size()),
                      VORN_OK);
            const rgb_picture back = read_png(write_png_of_image(image.data(), image.size(), "t.png", *settings), "t.png");
            ASSERT_EQ(back.width, width);
            ASSERT_EQ(back.height, height);
            EXPECT_EQ(std::vector<uint8_t>(back.rgb.data(), back.rgb.data() + back.rgb.size()), rgb) << width;
        }
}

// Every job runs, never more at once than the threads allowed, and the first failure in the
// jobs' order is thrown once all have ended.
TEST(SideBySide, RunsEveryJobOnTheThreadsAllowedAndRethrowsTheFirstFailure)
{
    const struct {
        std::vector<bool> fails;
        unsigned threads;
        std::string thrown;  // empty: nothing thrown
    } cases[] = {
        {{false}, 0, ""},
        {{true}, 0, "0"},
        {{false, false, false}, 0, ""},
        {{false, true, true}, 0, "1"},
        {{true, false, true}, 0, "0"},
        {std::vector<bool>(9, false), 1, ""},
        {std::vector<bool>(9, false), 2, ""},
        {{false, false, false, false, true, false}, 3, "4"},
    };
    for (const auto& c : cases) {
        std::atomic<int> ran{0}, running{0}, most{0};
        std::vector<std::function<void()>> jobs;
        for (size_t i = 0; i < c.fails.size(); ++i)
            jobs.push_back([&, i] {
                const int now = ++running;
                for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                ++ran;
                --running;
                if (c.fails[i]) throw std::runtime_error(std::to_string(i));
            });
        std::string thrown;
        try {
            run_side_by_side(jobs, c.threads);
        } catch (const std::runtime_error& error) {
            thrown = error.what();
        }
        EXPECT_EQ(ran, int(c.fails.size()));
        EXPECT_LE(most, int(threads_for(int(c.threads))));
        EXPECT_EQ(thrown, c.thrown);
    }
}

}  // namespace
