// Reconstruction: the tone each layout's stored levels stand for, flat pictures kept flat at
// every size down to one pixel, scrambled layers put back in place, picture 1's ghost kept out of
// a dark picture 2, and the refusals.
#include <cmath>
#include <numeric>

#include "test_support.h"

namespace {

struct reconstructed {
    vorn_error error;
    bytes picture;
};

reconstructed reconstruct(const bytes& coded, vorn_layout layout, int which, size_t work_trim = 0)
{
    vorn_geometry g{};
    vorn_check_carrier(coded.data(), coded.size(), &g);
    size_t work_size = 0;
    EXPECT_EQ(vorn_reconstruct_work_size(&g, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    reconstructed r{VORN_OK, bytes(coded.size(), 0xAB)};
    r.error = vorn_reconstruct(coded.data(), coded.size(), layout, which, r.picture.data(), r.picture.size(),
                               work.data(), work_size - work_trim);
    return r;
}

// Whether every colour byte of a picture is `value`, and its padding and trailing bytes 0.
::testing::AssertionResult every_pixel_byte_is(const bytes& picture, uint8_t value)
{
    vorn_geometry g{};
    vorn_check_carrier(picture.data(), picture.size(), &g);
    for (size_t i = g.offset_raster; i < picture.size(); ++i) {
        const size_t r = i - g.offset_raster;
        const bool pixel = r / g.string_length < g.height && r % g.string_length < size_t(g.width) * 3;
        if (picture[i] != (pixel ? value : 0))
            return ::testing::AssertionFailure() << "byte " << i << " is " << int(picture[i]);
    }
    return ::testing::AssertionSuccess();
}

double psnr(const bytes& a, const bytes& b, size_t from)
{
    double sum = 0;
    for (size_t i = from; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(a.size() - from) / sum);
}

// A picture whose bytes rise smoothly across and down: what a dithered photograph's levels can
// be read back as, away from its edges.
bytes smooth_picture(int32_t width, int32_t height)
{
    bytes file = bmp_file(width, height, 0);
    const size_t stride = size_t(width) * 3 + size_t(width & 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                file[54 + size_t(y) * stride + size_t(x) * 3 + c] = uint8_t(30 + (x * 3 + y * 2 + c * 20) % 190);
    return file;
}

bytes coded_with(const bytes& carrier, const bytes* hidden1, const bytes* hidden2, vorn_build build)
{
    vorn_geometry g{};
    vorn_check_carrier(carrier.data(), carrier.size(), &g);
    size_t work_size = 0;
    vorn_encode_work_size(&g, &work_size);
    std::vector<uint8_t> work(work_size);
    bytes coded = carrier, h1 = hidden1 ? *hidden1 : bytes(), h2 = hidden2 ? *hidden2 : bytes();
    EXPECT_EQ(vorn_encode(coded.data(), coded.size(), hidden1 ? h1.data() : nullptr, h1.size(),
                          hidden2 ? h2.data() : nullptr, h2.size(), build, work.data(), work_size, nullptr),
              VORN_OK);
    return coded;
}

TEST(reconstruct, reads_each_layouts_field_as_the_tone_it_stands_for_and_keeps_flat_pictures_flat)
{
    // Every coded byte alike: the picture comes back flat at the tone the field's level stands for
    // (2-bit levels 64 apart, 4-bit ones 16 apart, picture 2 beside picture 1 with picture 1's
    // bits below its own), or, where picture 2 beside picture 1 has no bit set anywhere, at half
    // the floor picture 1's bits set.
    struct row {
        vorn_layout layout;
        int which;
        uint8_t coded;
        uint8_t tone;
    } const rows[] = {
        {VORN_LAYOUT_HIDDEN1, 1, 0xF2, 128},           // p = 2
        {VORN_LAYOUT_HIDDEN1, 1, 0x07, 192},           // p = 3; the bits above are the carrier's
        {VORN_LAYOUT_HIDDEN2_VORNHOLD, 2, 0x35, 80},   // q = 0101
        {VORN_LAYOUT_HIDDEN2_VORNHOLD2, 2, 0x35, 160}, // stored reversed: q = 1010
        {VORN_LAYOUT_HIDDEN2_VORNHOLD2, 2, 0x0F, 240},
        {VORN_LAYOUT_BOTH_VORNHOLD, 1, 0x06, 128},     // q1 q0 p1 p0 = 01 10
        {VORN_LAYOUT_BOTH_VORNHOLD, 2, 0x06, 96},      // 64 q + 16 p
        {VORN_LAYOUT_BOTH_VORNHOLD2, 1, 0x04, 128},    // p0 p1 q0 q1 = 01 00: p = 10
        {VORN_LAYOUT_BOTH_VORNHOLD2, 2, 0x09, 144},    // 10 01: p = 01, q = 10
        {VORN_LAYOUT_BOTH_VORNHOLD, 2, 0x03, 24},      // q = 0 throughout, p = 3: half of 48
        {VORN_LAYOUT_BOTH_VORNHOLD2, 2, 0x08, 8},      // q = 0 throughout, p = 1
    };
    const int32_t sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {5, 3}, {16, 8}, {37, 21}};
    for (const row& r : rows) {
        for (const auto& size : sizes) {
            SCOPED_TRACE("layout " + std::to_string(r.layout) + " picture " + std::to_string(r.which) + " byte " +
                         std::to_string(r.coded) + " size " + std::to_string(size[0]) + "x" + std::to_string(size[1]));
            const bytes coded = bmp_file(size[0], size[1], r.coded, 5);
            const reconstructed got = reconstruct(coded, r.layout, r.which);
            ASSERT_EQ(got.error, VORN_OK);
            EXPECT_TRUE(std::equal(coded.begin(), coded.begin() + 54, got.picture.begin()));
            EXPECT_TRUE(every_pixel_byte_is(got.picture, r.tone));
        }
    }
}

TEST(reconstruct, gives_a_coded_picture_back_unscrambled_and_nearer_its_source_than_the_raw_levels)
{
    // A smooth source, coded in every layout at a power-of-two size (scrambled) and another (in
    // place): the reconstruction must beat the raw levels by a wide margin, which a field read
    // from the wrong bits or left scrambled cannot.
    const int32_t sizes[][2] = {{64, 32}, {45, 30}};
    for (const auto& size : sizes) {
        const bytes carrier = bmp_noise(size[0], size[1], 7), source = smooth_picture(size[0], size[1]);
        for (const vorn_build build : {VORN_VORNHOLD2, VORN_VORNHOLD}) {
            for (const int content : {1, 2, 3}) {
                const bool has1 = content & 1, has2 = content & 2;
                const bytes coded = coded_with(carrier, has1 ? &source : nullptr, has2 ? &source : nullptr, build);
                const vorn_layout layout = vorn_layout_of(build, has1, has2);
                for (int which = 1; which <= 2; ++which) {
                    if (!(content & which)) continue;
                    SCOPED_TRACE(std::to_string(size[0]) + " wide, layout " + std::to_string(layout) + " picture " +
                                 std::to_string(which));
                    bytes raw(coded.size());
                    vorn_extract(coded.data(), coded.size(), layout, which, raw.data(), raw.size());
                    const reconstructed got = reconstruct(coded, layout, which);
                    ASSERT_EQ(got.error, VORN_OK);
                    const double gained = psnr(got.picture, source, 54) - psnr(raw, source, 54);
                    EXPECT_GT(psnr(got.picture, source, 54), content == 2 ? 36.0 : 27.0);
                    EXPECT_GT(gained, 5.0);
                }
            }
        }
    }
}

TEST(reconstruct, keeps_picture_1s_ghost_out_of_a_dark_picture_2)
{
    // Picture 2 black beside a noisy picture 1: its nibble shows picture 1's bits, which must not
    // come back as picture 2's pattern. Read as it stands, the nibble would average 24.
    const bytes carrier = bmp_noise(32, 32, 4), noise = bmp_noise(32, 32, 5), black = bmp_file(32, 32, 0);
    const bytes coded = coded_with(carrier, &noise, &black, VORN_VORNHOLD);
    const reconstructed got = reconstruct(coded, VORN_LAYOUT_BOTH_VORNHOLD, 2);
    ASSERT_EQ(got.error, VORN_OK);
    const double mean = std::accumulate(got.picture.begin() + 54, got.picture.end(), 0.0) / double(got.picture.size() - 54);
    EXPECT_LT(mean, 4.0);
}

TEST(reconstruct, keyed_levels_are_filtered_in_place_and_flat_ones_stay_flat)
{
    // A keyed picture's levels as vorn_keyed_decode() gives them: 85 apart for 2 bits, 17 for 4.
    for (const auto& [layout, which, level] : {std::tuple{VORN_LAYOUT_HIDDEN1, 1, 170},
                                                std::tuple{VORN_LAYOUT_HIDDEN2_VORNHOLD2, 2, 204},
                                                std::tuple{VORN_LAYOUT_BOTH_VORNHOLD, 2, 85}}) {
        bytes picture = bmp_file(7, 5, uint8_t(level));
        for (size_t i = 54; i < picture.size(); ++i) picture[i] = (i - 54) % 24 < 21 ? uint8_t(level) : 0;
        vorn_geometry g{};
        vorn_check_carrier(picture.data(), picture.size(), &g);
        size_t work_size = 0;
        vorn_reconstruct_work_size(&g, &work_size);
        std::vector<uint8_t> work(work_size);
        ASSERT_EQ(vorn_keyed_reconstruct(picture.data(), picture.size(), layout, which, work.data(), work_size), VORN_OK);
        EXPECT_TRUE(every_pixel_byte_is(picture, uint8_t(level)));
    }
}

TEST(reconstruct, refuses_what_it_cannot_do_without_writing)
{
    const bytes coded = bmp_file(4, 4, 0x05);
    EXPECT_EQ(reconstruct(coded, VORN_LAYOUT_HIDDEN1, 2).error, VORN_ERR_ARGUMENT);
    EXPECT_EQ(reconstruct(coded, VORN_LAYOUT_NONE, 1).error, VORN_ERR_ARGUMENT);
    EXPECT_EQ(reconstruct(coded, vorn_layout(99), 1).error, VORN_ERR_ARGUMENT);
    const reconstructed short_work = reconstruct(coded, VORN_LAYOUT_HIDDEN1, 1, 1);
    EXPECT_EQ(short_work.error, VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(short_work.picture, bytes(coded.size(), 0xAB));
    bytes picture(coded.size() - 1);
    EXPECT_EQ(vorn_reconstruct(coded.data(), coded.size(), VORN_LAYOUT_HIDDEN1, 1, picture.data(), picture.size(),
                               nullptr, 0),
              VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(reconstruct(bytes(coded.begin(), coded.begin() + 40), VORN_LAYOUT_HIDDEN1, 1).error,
              VORN_ERR_RASTER_BEYOND_END);
}

}  // namespace

namespace {

uint64_t fnv1a(const bytes& data)
{
    uint64_t hash = 14695981039346656037u;
    for (const uint8_t byte : data) hash = (hash ^ byte) * 1099511628211u;
    return hash;
}

// The exact bytes of reconstructions, pinned: however the filter's work is arranged (in bands,
// parts, rows held over, wider vector code), and on any number of threads, every byte stays.
// The samples (512 x 512: scrambled, 32 bands) and a small picture of odd sides (padding, nothing
// scrambled), through each field grain, coded and keyed.
TEST(reconstruct, gives_the_same_bytes_however_it_is_shared_out)
{
    const auto sample = [](const char* name) { return read_file(std::filesystem::path(VORN_SAMPLES_DIR) / name); };
    const bytes main = sample("Main.bmp"), h1 = sample("Hidden 1.bmp"), h2 = sample("Hidden 2.bmp");
    const bytes odd = smooth_picture(75, 61), n1 = bmp_noise(75, 61, 7), n2 = bmp_noise(75, 61, 8);
    const bytes both = coded_with(main, &h1, &h2, VORN_VORNHOLD2), alone = coded_with(main, nullptr, &h2, VORN_VORNHOLD),
                odd_both = coded_with(odd, &n1, &n2, VORN_VORNHOLD);
    struct {
        const char* name;
        const bytes& coded;
        vorn_layout layout;
        int which;
        bool keyed;
        uint64_t hash;  // FNV-1a of the whole file the call leaves
    } const cases[] = {
        {"2-bit, scrambled", both, VORN_LAYOUT_BOTH_VORNHOLD2, 1, false, 0x11e9f1708e223345},
        {"beside picture 1", both, VORN_LAYOUT_BOTH_VORNHOLD2, 2, false, 0xbd96d2d174bd32eb},
        {"4-bit, scrambled", alone, VORN_LAYOUT_HIDDEN2_VORNHOLD, 2, false, 0x636b916125888e22},
        {"odd sides, 2-bit", odd_both, VORN_LAYOUT_BOTH_VORNHOLD, 1, false, 0x447692f2db602d77},
        {"odd sides, beside picture 1", odd_both, VORN_LAYOUT_BOTH_VORNHOLD, 2, false, 0xeb636af4a88fcbc0},
        {"keyed, 2-bit", both, VORN_LAYOUT_BOTH_VORNHOLD2, 1, true, 0xdbd569e4a4bd7e31},
        {"keyed, odd sides, 4-bit", odd_both, VORN_LAYOUT_HIDDEN2_VORNHOLD, 2, true, 0x458c94dc9905aa03},
    };
    for (const auto& c : cases)
        for (const unsigned threads : {1u, 3u}) {
            SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
            vorn_geometry g{};
            ASSERT_EQ(vorn_check_carrier(c.coded.data(), c.coded.size(), &g), VORN_OK);
            size_t work_size = 0;
            ASSERT_EQ(vorn_reconstruct_threaded_work_size(&g, threads, &work_size), VORN_OK);
            std::vector<uint8_t> work(work_size);
            bytes picture = c.coded;
            if (c.keyed) {
                ASSERT_EQ(vorn_keyed_reconstruct_threaded(picture.data(), picture.size(), c.layout, c.which, work.data(),
                                                          work_size, threads),
                          VORN_OK);
            } else {
                ASSERT_EQ(vorn_reconstruct_threaded(c.coded.data(), c.coded.size(), c.layout, c.which, picture.data(),
                                                    picture.size(), work.data(), work_size, threads),
                          VORN_OK);
            }
            EXPECT_EQ(fnv1a(picture), c.hash);
        }
}

}  // namespace
