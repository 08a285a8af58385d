// The keyed form: every layout keyed and back, and every change to a keyed picture, or a wrong
// password, refused with one error. Most cases derive their key at libsodium's lowest cost
// (keyed_testing.h); the format's own cost is held by a known answer, and by the public calls.
#include <gtest/gtest.h>

#include <sodium.h>

#include <cmath>
#include <cstring>
#include <string>

#include "bmp_builder.h"
#include "keyed.h"
#include "keyed_testing.h"

namespace {

constexpr vorn_testing_key_cost cheap = VORN_TESTING_KEY_CHEAP;
const uint8_t fixed_salt[VORN_KEYED_SALT_BYTES] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const std::string password = "correct horse";

// A picture whose bytes climb smoothly with x and y, as photographs mostly do.
bytes gradient(int32_t width, int32_t height, int slope)
{
    bytes file = bmp_file(width, height, 0);
    const size_t stride = size_t(width) * 3 + size_t(width & 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width * 3; ++x) file[54 + size_t(y) * stride + size_t(x)] = uint8_t((x / 3 + y) * slope);
    return file;
}

bool stores(vorn_layout layout, int which) { return vorn_layout_holds(layout, which) != 0; }

struct keyed_run {
    vorn_error error;
    bytes coded;
};

keyed_run encode(vorn_layout layout, bytes carrier, bytes hidden1, bytes hidden2,
                 const std::string& key = password, const uint8_t* salt = fixed_salt)
{
    vorn_geometry g{};
    EXPECT_EQ(vorn_check_carrier(carrier.data(), carrier.size(), &g), VORN_OK);
    size_t work_size = 0;
    EXPECT_EQ(vorn_keyed_work_size(&g, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    const vorn_error error = vorn_testing_keyed_encode(
        carrier.data(), carrier.size(), stores(layout, 1) ? hidden1.data() : nullptr, hidden1.size(),
        stores(layout, 2) ? hidden2.data() : nullptr, hidden2.size(), layout, key.data(), key.size(),
        salt, cheap, work.data(), work_size);
    return {error, carrier};
}

struct keyed_pictures {
    vorn_error error;
    vorn_layout layout = VORN_LAYOUT_NONE;
    bytes first, second;
};

keyed_pictures decode(const bytes& coded, const std::string& key = password, vorn_testing_key_cost cost = cheap)
{
    keyed_pictures out{VORN_OK, VORN_LAYOUT_NONE, bytes(coded.size(), 0xEE), bytes(coded.size(), 0xEE)};
    vorn_geometry g{};
    size_t work_size = 0;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) == VORN_OK) vorn_keyed_work_size(&g, &work_size);
    std::vector<uint8_t> work(work_size);
    out.error = vorn_testing_keyed_decode(coded.data(), coded.size(), key.data(), key.size(), out.first.data(),
                                          out.second.data(), coded.size(), &out.layout, cost, work.data(), work_size);
    return out;
}

// The mean absolute difference of two rasters' pixel bytes, after the header.
double mean_difference(const bytes& a, const bytes& b)
{
    double sum = 0;
    for (size_t i = 54; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size() - 54);
}

const vorn_layout keyed_layouts[] = {VORN_LAYOUT_HIDDEN1, VORN_LAYOUT_HIDDEN2_VORNHOLD,
                                     VORN_LAYOUT_HIDDEN2_VORNHOLD2, VORN_LAYOUT_BOTH_VORNHOLD,
                                     VORN_LAYOUT_BOTH_VORNHOLD2};

TEST(keyed, every_layout_comes_back_with_its_pictures)
{
    // 32 x 16 has no padding; 13 x 7 has row padding, and fields that leave a filler.
    for (const auto& [width, height] : {std::pair{32, 16}, std::pair{13, 7}}) {
        const bytes carrier = gradient(width, height, 5);
        const bytes hidden1 = gradient(width, height, 3);
        const bytes hidden2 = gradient(width, height, 7);
        for (const vorn_layout layout : keyed_layouts) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " layout " + std::to_string(layout));
            const keyed_run run = encode(layout, carrier, hidden1, hidden2);
            ASSERT_EQ(run.error, VORN_OK);
            EXPECT_LT(mean_difference(run.coded, carrier), 12);  // the carrier's top bits survive
            const keyed_pictures back = decode(run.coded);
            ASSERT_EQ(back.error, VORN_OK);
            EXPECT_EQ(back.layout, layout);
            EXPECT_TRUE(std::equal(back.first.begin(), back.first.begin() + 54, run.coded.begin()));
            // Dithered to 2 or 4 bits, each picture's bytes lie near the source's on average.
            if (stores(layout, 1)) {
                EXPECT_LT(mean_difference(back.first, hidden1), 40);
            }
            if (stores(layout, 2)) {
                EXPECT_LT(mean_difference(back.second, hidden2), 40);
            }
            if (!stores(layout, 1)) {
                EXPECT_EQ(mean_difference(back.first, bmp_file(width, height, 0)), 0);
            }
        }
    }
}

TEST(keyed, white_and_black_come_back_exactly)
{
    // The tones are placed where the levels reach, so the brightest tone is stored, not clipped.
    for (const vorn_layout layout : keyed_layouts) {
        for (const uint8_t tone : {uint8_t(0), uint8_t(255)}) {
            const bytes flat = bmp_file(16, 16, tone);
            const keyed_pictures back = decode(encode(layout, gradient(16, 16, 9), flat, flat).coded);
            ASSERT_EQ(back.error, VORN_OK);
            if (stores(layout, 1)) {
                EXPECT_EQ(mean_difference(back.first, flat), 0) << layout;
            }
            if (stores(layout, 2)) {
                EXPECT_EQ(mean_difference(back.second, flat), 0) << layout;
            }
        }
    }
}

TEST(keyed, a_wrong_password_or_any_changed_hidden_bit_is_refused)
{
    const bytes hidden = gradient(13, 7, 3);
    for (const vorn_layout layout : keyed_layouts) {
        const bytes coded = encode(layout, gradient(13, 7, 5), hidden, hidden).coded;
        const size_t raster = 54, last = coded.size() - 2;  // the last colour byte, before 1 of padding
        struct change {
            const char* name;
            size_t at;
            uint8_t bit;
        } const changes[] = {
            {"salt", raster, 0x01},      {"tag", raster + 1, 0x04},  {"tag, 2-bit", raster + 100, 0x02},
            {"message", raster + 200, 0x02}, {"filler", last, 0x01}, {"4th bit", raster + 150, 0x08},
        };
        for (const change& c : changes) {
            if (c.bit > 0x03 && layout == VORN_LAYOUT_HIDDEN1) continue;  // a carrier bit there
            bytes changed = coded;
            changed[c.at] ^= c.bit;
            const keyed_pictures back = decode(changed);
            EXPECT_EQ(back.error, VORN_ERR_KEY_MISMATCH) << c.name << " layout " << layout;
            EXPECT_EQ(back.second, bytes(coded.size(), 0)) << "nothing of the pictures is left";
        }
        EXPECT_EQ(decode(coded, "correct horsf").error, VORN_ERR_KEY_MISMATCH);
        bytes carrier_bit = coded;
        carrier_bit[raster + 150] ^= 0x80;  // the carrier's own bits are not protected
        EXPECT_EQ(decode(carrier_bit).error, VORN_OK);
    }
}

TEST(keyed, a_picture_cut_short_or_padded_is_refused)
{
    const auto with_tail = [](bytes file) {
        file.push_back(0x55);
        put_le32(file, 2, uint32_t(file.size()));
        return file;
    };
    const bytes hidden = with_tail(gradient(16, 8, 3));
    const bytes coded = encode(VORN_LAYOUT_BOTH_VORNHOLD, with_tail(gradient(16, 8, 5)), hidden, hidden).coded;
    struct {
        const char* name;
        bytes file;
        vorn_error error;
    } const cases[] = {
        {"as coded", coded, VORN_OK},
        {"padded by a byte", [&] { bytes b = coded; b.push_back(0); return b; }(), VORN_ERR_KEY_MISMATCH},
        {"its tail cut off", bytes(coded.begin(), coded.end() - 1), VORN_ERR_KEY_MISMATCH},
        {"a row cut off", bytes(coded.begin(), coded.end() - 49), VORN_ERR_RASTER_BEYOND_END},
        {"a row fewer in the header", [&] { bytes b = coded; put_le32(b, 22, 7); return b; }(), VORN_ERR_KEY_MISMATCH},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c.file).error, c.error) << c.name;
}

TEST(keyed, refuses_what_it_cannot_key)
{
    const bytes picture = gradient(16, 8, 3);
    struct {
        const char* name;
        vorn_layout layout;
        bytes carrier;
        std::string key;
        vorn_error error;
    } const cases[] = {
        {"empty password", VORN_LAYOUT_HIDDEN1, picture, "", VORN_ERR_PASSWORD_EMPTY},
        {"no hidden bits", VORN_LAYOUT_NONE, picture, password, VORN_ERR_ARGUMENT},
        {"42 pixels, 2 bits", VORN_LAYOUT_HIDDEN1, gradient(42, 1, 3), password, VORN_ERR_TOO_SMALL_FOR_KEY},
        {"43 pixels, 2 bits", VORN_LAYOUT_HIDDEN1, gradient(43, 1, 3), password, VORN_OK},
        {"21 pixels, 4 bits", VORN_LAYOUT_HIDDEN2_VORNHOLD, gradient(21, 1, 3), password, VORN_ERR_TOO_SMALL_FOR_KEY},
        {"22 pixels, 4 bits", VORN_LAYOUT_HIDDEN2_VORNHOLD, gradient(22, 1, 3), password, VORN_OK},
    };
    for (const auto& c : cases) {
        const keyed_run run = encode(c.layout, c.carrier, c.carrier, c.carrier, c.key);
        EXPECT_EQ(run.error, c.error) << c.name;
        if (c.error != VORN_OK) {
            EXPECT_EQ(run.coded, c.carrier) << c.name << ": nothing written";
        }
        if (c.error == VORN_OK) {
            EXPECT_EQ(decode(run.coded).layout, c.layout) << c.name;
        }
    }
    EXPECT_EQ(decode(picture, "").error, VORN_ERR_PASSWORD_EMPTY);
    // Decoding needs room for the salt and tag of one layout at least: 22 pixels of 4-bit fields.
    EXPECT_EQ(decode(gradient(21, 1, 3)).error, VORN_ERR_TOO_SMALL_FOR_KEY);
    EXPECT_EQ(decode(gradient(22, 1, 3)).error, VORN_ERR_KEY_MISMATCH);
}

TEST(keyed, a_password_is_taken_as_its_bytes)
{
    // "é" composed and decomposed: different bytes, so the front ends normalise before calling.
    const bytes picture = gradient(16, 8, 3);
    const bytes coded = encode(VORN_LAYOUT_HIDDEN1, picture, picture, picture, "caf\xC3\xA9").coded;
    EXPECT_EQ(decode(coded, "caf\xC3\xA9").error, VORN_OK);
    EXPECT_EQ(decode(coded, "cafe\xCC\x81").error, VORN_ERR_KEY_MISMATCH);
}

// The chi-square statistic of the four low bits of every colour byte against a uniform spread.
double chi_square_of_fields(const bytes& coded)
{
    double counts[16] = {};
    for (size_t i = 54; i < coded.size(); ++i) ++counts[coded[i] & 15];
    const double expected = double(coded.size() - 54) / 16;
    double chi = 0;
    for (double c : counts) chi += (c - expected) * (c - expected) / expected;
    return chi;
}

TEST(keyed, hidden_fields_look_uniform_only_when_keyed)
{
    // 64 x 64: 12288 colour bytes, no padding. 15 degrees of freedom: 37.7 at p = 0.001.
    const bytes carrier = gradient(64, 64, 2), hidden = gradient(64, 64, 1);
    for (const vorn_layout layout : {VORN_LAYOUT_HIDDEN2_VORNHOLD, VORN_LAYOUT_BOTH_VORNHOLD2}) {
        const bytes keyed = encode(layout, carrier, hidden, hidden).coded;
        EXPECT_LT(chi_square_of_fields(keyed), 37.7) << layout;
    }
    bytes plain = carrier, h1 = hidden, h2 = hidden;
    vorn_geometry g{};
    vorn_check_carrier(plain.data(), plain.size(), &g);
    size_t work_size = 0;
    vorn_encode_work_size(&g, &work_size);
    std::vector<uint8_t> work(work_size);
    ASSERT_EQ(vorn_encode(plain.data(), plain.size(), h1.data(), h1.size(), h2.data(),
                          h2.size(), VORN_VORNHOLD, work.data(), work_size, nullptr),
              VORN_OK);
    EXPECT_GT(chi_square_of_fields(plain), 37.7);
}

TEST(keyed, format_cost_gives_the_known_keyed_bytes)
{
    // At the format's own cost and a fixed salt the keyed bytes are fixed: a change of cost,
    // layout of bits or additional data shows here, and the page's test holds it to the same
    // digest.
    const vorn_internal::keyed_cost format = vorn_internal::keyed_format_cost;
    EXPECT_EQ(format.passes, 3u);
    EXPECT_EQ(format.memory, size_t(256) << 20);
    bytes carrier = gradient(16, 8, 5), hidden = gradient(16, 8, 3), second = hidden;
    vorn_geometry g{};
    vorn_check_carrier(carrier.data(), carrier.size(), &g);
    size_t work_size = 0;
    vorn_keyed_work_size(&g, &work_size);
    std::vector<uint8_t> work(work_size);
    ASSERT_EQ(vorn_testing_keyed_encode(carrier.data(), carrier.size(), hidden.data(), hidden.size(), second.data(),
                                        second.size(), VORN_LAYOUT_BOTH_VORNHOLD, password.data(), password.size(),
                                        fixed_salt, VORN_TESTING_KEY_FORMAT, work.data(), work_size),
              VORN_OK);
    uint8_t digest[16];
    crypto_generichash(digest, sizeof digest, carrier.data(), carrier.size(), nullptr, 0);
    char hex[33];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    EXPECT_STREQ(hex, "d1c8adfc20b64baf9d348709a5dcf1d3");
}

TEST(keyed, every_encoding_draws_its_own_salt)
{
    // The public calls, at the format's cost: the same inputs and password give two different
    // pictures, each of which opens.
    const bytes carrier = gradient(16, 8, 5), hidden = gradient(16, 8, 3);
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(carrier.data(), carrier.size(), &g), VORN_OK);
    size_t work_size = 0;
    ASSERT_EQ(vorn_keyed_work_size(&g, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    bytes coded[2];
    for (bytes& picture : coded) {
        picture = carrier;
        bytes spent = hidden;
        ASSERT_EQ(vorn_keyed_encode(picture.data(), picture.size(), spent.data(), spent.size(), nullptr, 0,
                                    VORN_LAYOUT_HIDDEN1, password.data(), password.size(), work.data(), work_size),
                  VORN_OK);
    }
    EXPECT_NE(coded[0], coded[1]);
    for (const bytes& picture : coded) {
        bytes first(picture.size()), second(picture.size());
        vorn_layout layout = VORN_LAYOUT_NONE;
        EXPECT_EQ(vorn_keyed_decode(picture.data(), picture.size(), password.data(), password.size(), first.data(),
                                    second.data(), picture.size(), &layout, work.data(), work_size),
                  VORN_OK);
        EXPECT_EQ(layout, VORN_LAYOUT_HIDDEN1);
        EXPECT_LT(mean_difference(first, hidden), 40);
    }
    // The testing entry with no salt draws one as well.
    EXPECT_NE(encode(VORN_LAYOUT_HIDDEN1, carrier, hidden, hidden, password, nullptr).coded,
              encode(VORN_LAYOUT_HIDDEN1, carrier, hidden, hidden, password, nullptr).coded);
}

TEST(keyed, keyed_calls_take_work_and_costs_by_the_library_rules)
{
    EXPECT_EQ(vorn_has_keyed(), 1);  // the keyed library's answer, where the programs' gives 0
    bytes carrier = gradient(16, 8, 5), hidden = carrier, picture(carrier.size()), other(carrier.size());
    vorn_layout layout{};
    const char* key = password.data();
    const size_t n = carrier.size(), key_length = password.size();
    EXPECT_EQ(vorn_keyed_encode(carrier.data(), n, hidden.data(), n, nullptr, 0, VORN_LAYOUT_HIDDEN1, key,
                                key_length, nullptr, 0),
              VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_keyed_encode(carrier.data(), n, hidden.data(), n, nullptr, 0, VORN_LAYOUT_HIDDEN1, key,
                                key_length, nullptr, 1 << 20),
              VORN_ERR_ARGUMENT);
    EXPECT_EQ(vorn_keyed_decode(carrier.data(), n, key, key_length, picture.data(), other.data(), n, &layout,
                                nullptr, 0),
              VORN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(vorn_testing_keyed_decode(carrier.data(), n, key, key_length, picture.data(), other.data(), n, &layout,
                                        vorn_testing_key_cost(2), nullptr, 0),
              VORN_ERR_ARGUMENT);
    EXPECT_EQ(carrier, gradient(16, 8, 5)) << "nothing written";
}

}  // namespace
