// The stored pictures' codec table: every row codes and decodes through its own functions, the
// lossless ones bit for bit, and no value outside the table names a codec.
#include <gtest/gtest.h>

#include "kit_pictures.h"
#include "stored_picture.h"

TEST(CodecTable, EveryRowCodesItsOwnPicturesBackAndNothingElseIsACodec)
{
    const test_picture sample_crop = crop(sample("Main.bmp"), 100, 100, 48, 40);
    rgb_pixels picture;
    picture.width = sample_crop.width;
    picture.height = sample_crop.height;
    picture.rgb = sample_crop.rgb;
    for (const codec_row& row : codec_table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(codec_named(uint8_t(row.id)), &row);
        EXPECT_TRUE(codec_takes(row.id, row.most_side, 1));
        EXPECT_FALSE(codec_takes(row.id, 1, row.most_side + 1));
        const std::vector<uint8_t> file = encode_stored(picture, row.id, row.highest);
        const rgb_pixels back =
            decode_stored(file.data(), file.size(), row.id, picture.width, picture.height, read_limits(), "t");
        EXPECT_EQ(back.rgb == picture.rgb, row.lossless);
        EXPECT_GT(psnr_of(squared_error(back, picture)), 35);
    }
    for (const uint8_t unknown : {0, 4, 255}) EXPECT_EQ(codec_named(unknown), nullptr);
}
