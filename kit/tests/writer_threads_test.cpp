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
#include "picture_files.h"

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

// What reading in pieces gives: whether it took the file, and the pixels R G B when it did.
struct piece_reading {
    bool read;
    bytes rgb;
};

piece_reading read_in_pieces(const bytes& png, uint32_t width, uint32_t height, unsigned threads)
{
    rgb_picture picture;
    size_picture(picture, width, height, read_limits(), "t.png");
    if (!read_png_in_pieces(png, width, height, rows_of(picture), threads)) return {false, {}};
    return {true, bytes(picture.rgb.data(), picture.rgb.data() + picture.rgb.size())};
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
// libspng read whole and read in pieces, in one piece or several (a column, a single row, odd sizes,
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
                const piece_reading read = read_in_pieces(png, size.width, size.height, threads);
                EXPECT_TRUE(read.read);
                EXPECT_EQ(read.rgb, rgb);
                const rgb_picture image = read_png(png, "t.png", read_limits(), pixel_layout::coder_image, threads);
                EXPECT_EQ(image.image, bmp_of(rgb, size.width, size.height));
            }
        }
}

// A file whose pieces are not what its chunk says, or that has no pieces but claims them, is not
// read in pieces and is read whole to the same pixels; damaged image data is refused by libspng.
TEST(PngPieces, TrustsNoPiecesItCannotCheckAndLeavesDamageToLibspng)
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
        EXPECT_FALSE(read_in_pieces(c.png, width, height, 2).read);
        const rgb_picture whole = read_png(c.png, "t.png", read_limits(), pixel_layout::rgb, 2);
        EXPECT_EQ(bytes(whole.rgb.data(), whole.rgb.data() + whole.rgb.size()), rgb);
    }
    bytes flipped = ours;
    flipped[flipped.size() / 2] ^= 0x10;
    const bytes cut(ours.begin(), ours.end() - 40);
    for (const bytes* damaged : {static_cast<const bytes*>(&flipped), &cut}) {
        EXPECT_FALSE(read_in_pieces(*damaged, width, height, 2).read);
        EXPECT_THROW(read_png(*damaged, "t.png", read_limits(), pixel_layout::rgb, 2), kit_fault);
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

// A budget reaches steps given no thread count, on the threads started under it too, and ends
// with its scope.
TEST(SideBySide, KeepsToTheBudgetOfTheRequestThatStartedIt)
{
    for (const int allowed : {1, 2}) {
        std::atomic<int> running{0}, most{0};
        const auto job = [&] {
            const int now = ++running;
            for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --running;
        };
        const std::vector<std::function<void()>> inner(4, job);
        const thread_budget budget(allowed);
        run_side_by_side(std::vector<std::function<void()>>(3, [&] { run_side_by_side(inner); }), unsigned(allowed));
        EXPECT_LE(most, allowed * allowed);
        if (allowed == 1) {
            EXPECT_EQ(most, 1);
        }
    }
}

}  // namespace
