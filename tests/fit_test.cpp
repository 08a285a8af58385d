// Fitting a hidden picture of any size into the carrier's frame: where each fit puts it, odd
// sizes down to one pixel, the picture kept upright, black around it, a picture of the carrier's
// size placed exactly as before, and scales too extreme to resample refused.
#include "frame.h"
#include "placement.h"
#include "test_support.h"

namespace {

struct fitted {
    vorn_error error;
    bytes framed;
    vorn_placement placement;
};

fitted fit(const bytes& carrier, const bytes& hidden, vorn_fit mode)
{
    vorn_geometry frame{}, own{};
    vorn_check_carrier(carrier.data(), carrier.size(), &frame);
    vorn_check_carrier(hidden.data(), hidden.size(), &own);
    size_t work_size = 0;
    fitted f{vorn_fit_work_size(&frame, &own, mode, &work_size), bytes(carrier.size(), 0xAB), {}};
    if (f.error != VORN_OK) return f;
    std::vector<uint8_t> work(work_size);
    f.error = vorn_fit_hidden(carrier.data(), carrier.size(), hidden.data(), hidden.size(), mode, f.framed.data(),
                              f.framed.size(), work.data(), work_size, &f.placement);
    return f;
}

// A picture whose top half is one colour (B G R) and bottom half another.
bytes two_halves(int32_t width, int32_t height, const uint8_t top[3], const uint8_t bottom[3])
{
    bytes file = bmp_file(width, height, 0);
    const size_t stride = size_t(width) * 3 + size_t(width & 3);
    for (int32_t row = 0; row < height; ++row) {
        const bool upper = row >= height - height / 2;  // rows are stored bottom-up
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) file[54 + size_t(row) * stride + size_t(x) * 3 + c] = (upper ? top : bottom)[c];
    }
    return file;
}

// Pixel (x, y) of a framed picture, counted from the top-left.
const uint8_t* pixel_at(const bytes& framed, int32_t x, int32_t y)
{
    vorn_geometry g{};
    vorn_check_carrier(framed.data(), framed.size(), &g);
    return framed.data() + g.offset_raster + size_t(g.height - 1 - uint32_t(y)) * g.string_length + size_t(x) * 3;
}

TEST(fit, places_pictures_of_every_shape_as_each_fit_says)
{
    struct row {
        uint32_t width, height, frame_width, frame_height;
        vorn_fit fit;
        uint64_t scaled_width, scaled_height;
        int64_t x, y;
    } const rows[] = {
        {300, 200, 512, 512, VORN_FIT_CONTAIN, 512, 341, 0, 85},
        {300, 200, 512, 512, VORN_FIT_COVER, 768, 512, -128, 0},
        {300, 200, 512, 512, VORN_FIT_STRETCH, 512, 512, 0, 0},
        {1000, 2000, 100, 60, VORN_FIT_CONTAIN, 30, 60, 35, 0},
        {1000, 2000, 100, 60, VORN_FIT_COVER, 100, 200, 0, -70},
        {1, 77, 512, 512, VORN_FIT_CONTAIN, 7, 512, 252, 0},
        {1, 77, 512, 512, VORN_FIT_COVER, 512, 39424, 0, -19456},
        {77, 1, 9, 9, VORN_FIT_CONTAIN, 9, 1, 0, 4},
        {1, 1, 3, 2, VORN_FIT_CONTAIN, 2, 2, 0, 0},
        {1, 1, 3, 2, VORN_FIT_COVER, 3, 3, 0, 0},          // the odd row cropped at the bottom
        {5, 3, 5, 3, VORN_FIT_COVER, 5, 3, 0, 0},          // the carrier's size: not scaled
        {0, 4, 5, 3, VORN_FIT_CONTAIN, 0, 4, 0, 0},        // an empty picture: not scaled
        {4, 4, 0, 0, VORN_FIT_STRETCH, 4, 4, 0, 0},        // an empty frame: not scaled
        {4000000000u, 1, 2, 3, VORN_FIT_CONTAIN, 2, 1, 0, 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height) + " into " + std::to_string(r.frame_width) +
                     "x" + std::to_string(r.frame_height) + " fit " + std::to_string(r.fit));
        vorn_placement p{};
        ASSERT_EQ(fit_placement(r.width, r.height, r.frame_width, r.frame_height, r.fit, &p), VORN_OK);
        EXPECT_EQ(p.width, r.width);
        EXPECT_EQ(p.height, r.height);
        EXPECT_EQ(p.scaled_width, r.scaled_width);
        EXPECT_EQ(p.scaled_height, r.scaled_height);
        EXPECT_EQ(p.x, r.x);
        EXPECT_EQ(p.y, r.y);
    }
    vorn_placement p{};
    EXPECT_EQ(fit_placement(2, 2, 4, 4, vorn_fit(3), &p), VORN_ERR_ARGUMENT);
    EXPECT_EQ(fit_placement(2, 2, 4, 4, VORN_FIT_COVER, nullptr), VORN_ERR_ARGUMENT);
}

TEST(fit, resamples_into_the_frame_upright_with_black_around_it)
{
    const uint8_t red[3] = {0, 0, 255}, blue[3] = {255, 0, 0};
    struct row {
        int32_t width, height, frame_width, frame_height;
        vorn_fit fit;
    } const rows[] = {
        {30, 20, 16, 16, VORN_FIT_CONTAIN}, {30, 20, 16, 16, VORN_FIT_COVER}, {30, 20, 16, 16, VORN_FIT_STRETCH},
        {3, 40, 17, 9, VORN_FIT_CONTAIN},   {3, 40, 17, 9, VORN_FIT_COVER},   {2, 2, 64, 33, VORN_FIT_CONTAIN},
        {1, 50, 8, 8, VORN_FIT_STRETCH},    {50, 2, 7, 5, VORN_FIT_COVER},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height) + " into " + std::to_string(r.frame_width) +
                     "x" + std::to_string(r.frame_height) + " fit " + std::to_string(r.fit));
        const bytes carrier = bmp_noise(r.frame_width, r.frame_height, 3, 2);
        // Below ten rows the resampler blends the halves throughout: such pictures are one colour.
        const fitted f = fit(carrier, two_halves(r.width, r.height, red, r.height >= 10 ? blue : red), r.fit);
        ASSERT_EQ(f.error, VORN_OK);
        EXPECT_TRUE(std::equal(carrier.begin(), carrier.begin() + 54, f.framed.begin()));
        const vorn_placement& p = f.placement;
        for (int32_t y = 0; y < r.frame_height; ++y) {
            for (int32_t x = 0; x < r.frame_width; ++x) {
                const uint8_t* got = pixel_at(f.framed, x, y);
                const bool inside = x >= p.x && x < p.x + int64_t(p.scaled_width) && y >= p.y &&
                                    y < p.y + int64_t(p.scaled_height);
                // Each half keeps its colour away from the seam, where the two are blended.
                const double from_top = (double(y - p.y) + 0.5) / double(p.scaled_height);
                if (!inside) {
                    EXPECT_EQ(got[0] | got[1] | got[2], 0) << x << "," << y;
                } else if (from_top < 0.35 || from_top > 0.65) {
                    const uint8_t* want = from_top < 0.5 || r.height < 10 ? red : blue;
                    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1) << x << "," << y << " channel " << c;
                }
            }
        }
    }
}

// A picture whose one side meets the frame's needs no scaling: it used to be refused for the
// other side, and is now placed pixel for pixel, centred with black bars or cropped.
TEST(fit, places_a_picture_that_needs_no_scaling_pixel_for_pixel)
{
    struct row {
        int32_t width, height;
        vorn_fit fit;
        int64_t x, y;
    } const rows[] = {
        {8, 4, VORN_FIT_CONTAIN, 0, 2}, {5, 8, VORN_FIT_CONTAIN, 1, 0},
        {10, 8, VORN_FIT_COVER, -1, 0}, {8, 13, VORN_FIT_COVER, 0, -2},
    };
    const bytes carrier = bmp_noise(8, 8, 4, 1);
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height) + " fit " + std::to_string(r.fit));
        const bytes hidden = bmp_noise(r.width, r.height, 5);
        const fitted f = fit(carrier, hidden, r.fit);
        ASSERT_EQ(f.error, VORN_OK);
        EXPECT_EQ(f.placement.scaled_width, uint64_t(r.width));
        EXPECT_EQ(f.placement.scaled_height, uint64_t(r.height));
        EXPECT_EQ(f.placement.x, r.x);
        EXPECT_EQ(f.placement.y, r.y);
        EXPECT_TRUE(std::equal(carrier.begin(), carrier.begin() + 54, f.framed.begin()));
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 8; ++x) {
                const int64_t own_x = x - r.x, own_y = y - r.y;
                const bool inside = own_x >= 0 && own_x < r.width && own_y >= 0 && own_y < r.height;
                const uint8_t* got = pixel_at(f.framed, x, y);
                const uint8_t* want = inside ? pixel_at(hidden, int32_t(own_x), int32_t(own_y)) : nullptr;
                for (int c = 0; c < 3; ++c) EXPECT_EQ(got[c], want ? want[c] : 0) << x << "," << y;
            }
        EXPECT_EQ(f.framed.back(), 0) << "the byte after the raster";
    }
}

TEST(fit, takes_a_picture_of_the_carriers_size_as_framing_does)
{
    const bytes carrier = bmp_noise(9, 7, 1, 3), hidden = bmp_noise(9, 7, 2);
    bytes framed(carrier.size());
    ASSERT_EQ(frame_hidden(carrier.data(), carrier.size(), hidden.data(), hidden.size(), framed.data(), framed.size()),
              VORN_OK);
    for (const vorn_fit mode : {VORN_FIT_CONTAIN, VORN_FIT_COVER, VORN_FIT_STRETCH}) {
        const fitted f = fit(carrier, hidden, mode);
        ASSERT_EQ(f.error, VORN_OK);
        EXPECT_EQ(f.framed, framed);
        EXPECT_EQ(f.placement.scaled_width, 9u);
    }
}

TEST(fit, refuses_what_it_cannot_do_without_writing)
{
    const bytes carrier = bmp_file(8, 8, 1), hidden = bmp_file(5, 3, 2);
    vorn_geometry frame{}, own{};
    vorn_check_carrier(carrier.data(), carrier.size(), &frame);
    vorn_check_carrier(hidden.data(), hidden.size(), &own);
    size_t work_size = 0;
    ASSERT_EQ(vorn_fit_work_size(&frame, &own, VORN_FIT_COVER, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    bytes framed(carrier.size(), 0xAB);
    EXPECT_EQ(vorn_fit_hidden(carrier.data(), carrier.size(), hidden.data(), hidden.size(), VORN_FIT_COVER,
                              framed.data(), framed.size(), work.data(), work_size - 1, nullptr),
              VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_fit_hidden(carrier.data(), carrier.size(), hidden.data(), hidden.size(), VORN_FIT_COVER,
                              framed.data(), carrier.size() - 1, work.data(), work_size, nullptr),
              VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_fit_hidden(carrier.data(), carrier.size(), hidden.data(), hidden.size(), vorn_fit(7),
                              framed.data(), framed.size(), work.data(), work_size, nullptr),
              VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_fit_hidden(carrier.data(), carrier.size(), hidden.data(), 40, VORN_FIT_COVER, framed.data(),
                              framed.size(), work.data(), work_size, nullptr),
              VORN_ERR_RASTER_BEYOND_END);
    EXPECT_EQ(framed, bytes(carrier.size(), 0xAB));
    // A sliver stretched over a frame thousands of times its size in one direction and shrunk in
    // the other: the resampler's sizes would pass what it can count.
    const vorn_geometry tall{0, 54, 1, 2000000000u, 4}, wide_frame{0, 54, 60000, 2, 180000};
    EXPECT_EQ(vorn_fit_work_size(&wide_frame, &tall, VORN_FIT_STRETCH, &work_size), VORN_ERR_SIZE_OVERFLOW);
}

}  // namespace
