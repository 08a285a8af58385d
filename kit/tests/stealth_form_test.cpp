// The stealth form through the kit: pictures come back, only a small share of the carrier's
// colour bytes change and each by one, a password is needed where one was given, and a picture
// with any low bit flipped is refused with nothing taken out.
#include <gtest/gtest.h>

#include <cstdlib>

#include "kit_pictures.h"

namespace {

// Forced, or (by_default) as the default form chooses.
kit::hide_result hide_stealth(const test_picture& carrier, const test_picture& hidden, const std::string* password,
                              bool by_default = false)
{
    input_picture picture = input_of(hidden, "one.bmp");
    kit::hide_request request;
    request.form = by_default ? kit::hiding_form::compact : kit::hiding_form::stealth;
    request.stealth_where_unseen = by_default;
    request.password = password;
    kit::hide_result result;
    const kit::status status = kit::hide(input_of(carrier, "carrier.bmp"), &picture, nullptr, request, result);
    EXPECT_TRUE(status.ok()) << status.text;
    return result;
}

kit::status take_out(std::vector<uint8_t> coded, const std::string* password, kit::decode_result& result)
{
    kit::decode_request request;
    request.keyed = password != nullptr;
    return kit::decode(std::move(coded), "coded.bmp", request, password, false, result);
}

TEST(stealth_form, pictures_come_back_from_a_few_changes_of_one)
{
    const test_picture main = sample("Main.bmp");
    const test_picture hidden = crop(sample("Hidden 1.bmp"), 100, 100, 64, 64);
    const std::string password = "stealth";
    // Rows of whole words, changed in place, and rows with padding, changed in a copy.
    for (const std::string* given : {static_cast<const std::string*>(nullptr), &password}) {
        SCOPED_TRACE(given ? "password, padded rows" : "none");
        const test_picture carrier = crop(main, 0, 0, given ? 255 : 256, 256);
        const kit::hide_result result = hide_stealth(carrier, hidden, given);
        ASSERT_TRUE(result.stealth && result.compact);
        EXPECT_EQ(result.keyed, given != nullptr);
        const test_picture coded = pixels_of(result.coded);
        size_t changed = 0;
        for (size_t i = 0; i < coded.rgb.size(); ++i) {
            const int step = int(coded.rgb[i]) - int(carrier.rgb[i]);
            EXPECT_LE(std::abs(step), 1);
            changed += step != 0;
        }
        EXPECT_LT(changed, coded.rgb.size() / 20);  // the budget here is 0.2 bits a byte
        kit::decode_result taken;
        const kit::status status = take_out(result.coded, given, taken);
        ASSERT_TRUE(status.ok()) << status.text;
        EXPECT_TRUE(taken.stealth);
        EXPECT_GE(psnr(hidden, pixels_of(taken.pictures[0])), 45);
        if (given) {
            const std::string wrong = "stealthy";
            kit::decode_result refused;
            EXPECT_EQ(take_out(result.coded, &wrong, refused).kind, kit::fault::input);
            EXPECT_TRUE(refused.pictures[0].empty());
        }
    }
}

TEST(stealth_form, the_default_takes_it_only_where_the_pictures_fit_unseen)
{
    const test_picture carrier = crop(sample("Main.bmp"), 0, 0, 256, 256), one = sample("Hidden 1.bmp");
    const kit::hide_result small = hide_stealth(carrier, crop(one, 100, 100, 16, 16), nullptr, true);
    EXPECT_TRUE(small.stealth);
    const kit::hide_result large = hide_stealth(carrier, crop(sample("Main.bmp"), 256, 256, 256, 256), nullptr, true);
    EXPECT_FALSE(large.stealth);
    EXPECT_TRUE(large.compact);
    ASSERT_FALSE(large.notes.empty());
    EXPECT_EQ(large.notes.back().find("tests for hidden data would find"), std::string::npos);  // the last: stored
    bool told = false;
    for (const std::string& note : large.notes) told = told || note.find("would go unseen") != std::string::npos;
    EXPECT_TRUE(told);
}

TEST(stealth_form, a_flipped_low_bit_anywhere_is_refused)
{
    const test_picture carrier = crop(sample("Main.bmp"), 200, 100, 128, 96);
    const kit::hide_result hidden = hide_stealth(carrier, crop(sample("Hidden 2.bmp"), 0, 0, 24, 16), nullptr);
    vorn_geometry g{};
    ASSERT_EQ(vorn_check_carrier(hidden.coded.data(), hidden.coded.size(), &g), VORN_OK);
    const uint64_t colour_bytes = uint64_t(g.width) * 3 * g.height;
    // The salt, the elements early and late in the file (the keyed order spreads the header's
    // and the body's alike), and the last.
    for (const uint64_t n : {uint64_t(5), uint64_t(128), uint64_t(1000), colour_bytes / 2, colour_bytes - 1}) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> coded = hidden.coded;
        coded[size_t(g.offset_raster + n / (g.width * 3) * g.string_length + n % (g.width * 3))] ^= 1;
        kit::decode_result taken;
        EXPECT_EQ(take_out(coded, nullptr, taken).kind, kit::fault::input);
        EXPECT_TRUE(taken.pictures[0].empty() && taken.pictures[1].empty());
    }
}

}  // namespace
