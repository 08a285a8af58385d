// The stored pictures' codec table: every row codes and decodes through its own functions, the
// lossless ones bit for bit, and no value outside the table names a codec; the trials' bounds.
#include <gtest/gtest.h>

#include "compact_trials.h"
#include "kit_pictures.h"
#include "stored_picture.h"

TEST(CodecTable, EveryRowCodesItsOwnPicturesBackAndNothingElseIsACodec)
{
    const rgb_picture picture = kit_picture_of(crop(sample("Main.bmp"), 100, 100, 48, 40));
    for (const codec_row& row : codec_table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(codec_named(uint8_t(row.id)), &row);
        EXPECT_TRUE(codec_takes(row.id, row.most_side, 1));
        EXPECT_FALSE(codec_takes(row.id, 1, row.most_side + 1));
        const std::vector<uint8_t> file = encode_stored(picture, row.id, row.highest);
        const rgb_picture back =
            decode_stored(file.data(), file.size(), row.id, picture.width, picture.height, read_limits(), "t");
        EXPECT_EQ(back.rgb == picture.rgb, row.lossless);
        EXPECT_GT(psnr_of(squared_error(back, picture)), 35);
    }
    for (const uint8_t unknown : {0, 4, 255}) EXPECT_EQ(codec_named(unknown), nullptr);
}

// The bounds that let the compact trials skip a trial stay on the safe side: below the lossless
// size, above lossy WebP's best PSNR.
TEST(TrialBounds, StayBelowTheLosslessSizeAndAboveTheWebpCeiling)
{
    for (const char* name : {"Main.bmp", "Hidden 1.bmp", "Hidden 2.bmp"}) {
        SCOPED_TRACE(name);
        const rgb_picture picture = kit_picture_of(crop(sample(name), 64, 32, 320, 240));
        picture_trials trials(1, picture);
        EXPECT_LT(trials.lossless_floor(), trials.trial(stored_codec::webp_lossless, lossless_effort(picture), false).size);
        EXPECT_GT(trials.chroma_ceiling(), trials.trial(stored_codec::webp_lossy, 100, true).psnr);
    }
}
