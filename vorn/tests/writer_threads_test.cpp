// The PNG writer's rows taken straight from a coder file image, and jobs run side by side.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "png_codec.h"
#include "side_by_side.h"
#include "vorn.h"

namespace {

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

TEST(SideBySide, RunsEveryJobAndRethrowsTheFirstFailure)
{
    const struct {
        std::vector<bool> fails;
        std::string thrown;  // empty: nothing thrown
    } cases[] = {
        {{false}, ""},
        {{true}, "0"},
        {{false, false, false}, ""},
        {{false, true, true}, "1"},
        {{true, false, true}, "0"},
    };
    for (const auto& c : cases) {
        std::atomic<int> ran{0};
        std::vector<std::function<void()>> jobs;
        for (size_t i = 0; i < c.fails.size(); ++i)
            jobs.push_back([&ran, &c, i] {
                ++ran;
                if (c.fails[i]) throw std::runtime_error(std::to_string(i));
            });
        std::string thrown;
        try {
            run_side_by_side(jobs);
        } catch (const std::runtime_error& error) {
            thrown = error.what();
        }
        EXPECT_EQ(ran, int(c.fails.size()));
        EXPECT_EQ(thrown, c.thrown);
    }
}

}  // namespace
