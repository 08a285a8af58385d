// Decoding without --hidden and --build: what a picture holds is taken from the picture only when
// the picture settles it, so that a hidden picture is taken out as it was hidden or refused with
// the commands that would take it out, never taken out wrong; and a photograph with nothing
// hidden is refused.
#include "kit.h"
#include "vorn.h"
#include "vorn_fixture.h"

namespace fs = std::filesystem;

namespace {

using vorn_decision_test = vorn_test;

// `picture` (a BMP file image) scaled into a black width x height frame as `fit` puts it: a
// crop of it where cover needs no scaling.
bytes fitted(const bytes& picture, uint32_t width, uint32_t height, vorn_fit fit)
{
    const bytes frame = bmp_of(bytes(size_t(width) * height * 3), width, height);
    vorn_geometry frame_geometry, picture_geometry;
    vorn_check_carrier(frame.data(), frame.size(), &frame_geometry);
    vorn_check_carrier(picture.data(), picture.size(), &picture_geometry);
    size_t work_size = 0;
    EXPECT_EQ(vorn_fit_work_size(&frame_geometry, &picture_geometry, fit, &work_size), VORN_OK);
    bytes work(work_size), framed(frame.size());
    EXPECT_EQ(vorn_fit_hidden(frame.data(), frame.size(), picture.data(), picture.size(), fit, framed.data(),
                              framed.size(), work.data(), work.size(), nullptr),
              VORN_OK);
    return framed;
}

// What a camera leaves: the picture through JPEG compression and back, its low bits noise.
bytes through_jpeg(const bytes& bmp)
{
    input_picture picture;
    EXPECT_TRUE(kit::read_picture(jpeg_of(bmp), "photo", picture_role::source, read_limits(), picture).ok());
    bytes image;
    EXPECT_TRUE(kit::image_of(std::move(picture), image).ok());
    return image;
}

// A sample (its file name), cropped and scaled to width x height (0: as it is), in a file of
// `format`: 'b' BMP, 'p' PNG, 'j' JPEG.
struct picture_recipe {
    const char* sample;
    uint32_t width, height;
    char format;
};

std::string written(const picture_recipe& recipe, const std::string& name)
{
    bytes bmp = read_bytes(recipe.sample);
    if (recipe.width) bmp = fitted(bmp, recipe.width, recipe.height, VORN_FIT_COVER);
    const std::string path = name + (recipe.format == 'b' ? ".bmp" : recipe.format == 'p' ? ".png" : ".jpg");
    write_bytes(path, recipe.format == 'b' ? bmp : recipe.format == 'p' ? png_of(bmp, 2, 8) : jpeg_of(bmp));
    return path;
}

// Every layout, fit and build, with carriers and hidden pictures of sizes that are powers of two
// and not, in every format: `vorn decode` without hints takes out what was hidden or refuses.
TEST_F(vorn_decision_test, decoding_without_hints_takes_out_what_was_hidden_or_refuses)
{
    const picture_recipe none{nullptr, 0, 0, 0};
    const struct {
        picture_recipe carrier, hidden1, hidden2;
        const char* build;
        const char* fit;
    } rows[] = {
        // A photograph as JPEG, a 512x512 picture 1 and a 640x480 picture 2 with black bars: the
        // bars once made decoding take it for hidden picture 2 alone, by vornhold.
        {{"Main.bmp", 0, 0, 'j'}, {"Hidden 1.bmp", 0, 0, 'p'}, {"Hidden 2.bmp", 640, 480, 'j'}, "vornhold2", "contain"},
        {{"Main.bmp", 0, 0, 'j'}, {"Hidden 1.bmp", 0, 0, 'p'}, {"Hidden 2.bmp", 640, 480, 'j'}, "vornhold", "contain"},
        {{"Main.bmp", 0, 0, 'b'}, none, {"Hidden 2.bmp", 640, 480, 'j'}, "vornhold2", "contain"},
        {{"Main.bmp", 0, 0, 'b'}, none, {"Hidden 2.bmp", 640, 480, 'j'}, "vornhold", "cover"},
        {{"Main.bmp", 0, 0, 'b'}, {"Hidden 1.bmp", 300, 200, 'p'}, none, "vornhold2", "contain"},
        {{"Main.bmp", 320, 240, 'j'}, {"Hidden 1.bmp", 0, 0, 'p'}, {"Hidden 2.bmp", 200, 600, 'p'}, "vornhold2", "contain"},
        {{"Main.bmp", 320, 240, 'j'}, {"Hidden 1.bmp", 0, 0, 'p'}, {"Hidden 2.bmp", 200, 600, 'p'}, "vornhold", "stretch"},
        {{"Hidden 2.bmp", 256, 256, 'p'}, none, {"Main.bmp", 300, 200, 'p'}, "vornhold2", "cover"},
        {{"Hidden 2.bmp", 256, 256, 'p'}, none, {"Main.bmp", 300, 200, 'p'}, "vornhold", "contain"},
        {{"Main.bmp", 500, 375, 'b'}, {"Hidden 2.bmp", 640, 480, 'j'}, none, "vornhold2", "contain"},
        {{"Main.bmp", 500, 375, 'b'}, none, {"Hidden 1.bmp", 200, 600, 'p'}, "vornhold2", "contain"},
        {{"Main.bmp", 500, 375, 'b'}, none, {"Hidden 1.bmp", 200, 600, 'p'}, "vornhold", "stretch"},
        {{"Hidden 1.bmp", 320, 240, 'p'}, {"Main.bmp", 0, 0, 'b'}, {"Hidden 2.bmp", 256, 256, 'p'}, "vornhold", "cover"},
        {{"Hidden 1.bmp", 320, 240, 'p'}, {"Main.bmp", 0, 0, 'b'}, {"Hidden 2.bmp", 256, 256, 'p'}, "vornhold2", "stretch"},
        {{"Main.bmp", 256, 256, 'j'}, {"Hidden 2.bmp", 100, 400, 'p'}, none, "vornhold2", "contain"},
        {{"Main.bmp", 256, 256, 'j'}, {"Hidden 1.bmp", 0, 0, 'p'}, {"Hidden 2.bmp", 500, 375, 'j'}, "vornhold", "contain"},
        {{"Main.bmp", 0, 0, 'b'}, {"Hidden 2.bmp", 0, 0, 'b'}, {"Hidden 1.bmp", 640, 480, 'p'}, "vornhold", "cover"},
        {{"Main.bmp", 0, 0, 'b'}, none, {"Hidden 1.bmp", 0, 0, 'b'}, "vornhold2", "contain"},
    };
    int refused = 0, row_number = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(++row_number));
        const fs::path run = "row" + std::to_string(row_number);
        fs::create_directory(run);
        std::vector<std::string> encode{"encode", "--classic", written(row.carrier, (run / "carrier").string()), "-o",
                                        (run / "coded.png").string(), "--build", row.build, "--fit", row.fit, "-q"};
        for (int which = 1; which <= 2; ++which) {
            const picture_recipe& hidden = which == 1 ? row.hidden1 : row.hidden2;
            if (!hidden.sample) continue;
            encode.push_back("--hidden" + std::to_string(which));
            encode.push_back(written(hidden, (run / ("hidden" + std::to_string(which))).string()));
        }
        const vorn_run encoded = run_vorn(encode);
        ASSERT_EQ(encoded.code, 0) << encoded.err;
        // What was hidden, as encoding says to take it out: "--hidden 2 --build vornhold".
        const std::string options = encoded.err.substr(encoded.err.find(" --hidden ") + 1);
        const std::string options_given = options.substr(0, options.find('\n'));
        const std::string coded = (run / "coded.png").string(), guessed = (run / "guessed").string();
        const vorn_run decoded = run_vorn({"decode", coded, "-o", guessed, "--raw"});
        if (decoded.code != 0) {
            ++refused;
            EXPECT_EQ(decoded.code, 3) << decoded.err;
            EXPECT_NE(decoded.err.find(": cannot tell "), std::string::npos) << decoded.err;
            EXPECT_FALSE(fs::exists(guessed));
            continue;
        }
        std::vector<std::string> given{"decode", coded, "-o", (run / "given").string(), "--raw", "-q"};
        for (size_t at = 0, next; at < options_given.size(); at = next + 1) {
            next = options_given.find(' ', at);
            if (next == std::string::npos) next = options_given.size();
            given.push_back(options_given.substr(at, next - at));
        }
        const vorn_run taken = run_vorn(given);
        ASSERT_EQ(taken.code, 0) << taken.err;
        EXPECT_EQ(taken.err, "");
        for (int which = 1; which <= 2; ++which) {
            const fs::path name = kit::hidden_file_name("", which);
            EXPECT_EQ(fs::exists(run / "guessed" / name), fs::exists(run / "given" / name)) << decoded.err;
            if (fs::exists(run / "given" / name)) {
                EXPECT_EQ(read_bytes(run / "guessed" / name), read_bytes(run / "given" / name)) << decoded.err;
            }
        }
    }
    // Refusing is right only where a picture does not settle it: these do, nearly all.
    EXPECT_LE(refused, 2);
}

// Photographs with nothing hidden, their low bits a camera's noise or a scaled picture's detail,
// are refused, and nothing is written.
TEST_F(vorn_decision_test, photographs_with_nothing_hidden_are_refused)
{
    write_bytes("camera.bmp", through_jpeg(read_bytes("Main.bmp")));
    write_bytes("camera small.bmp", through_jpeg(fitted(read_bytes("Hidden 2.bmp"), 256, 256, VORN_FIT_STRETCH)));
    write_bytes("crop.png", png_of(fitted(read_bytes("Main.bmp"), 512, 384, VORN_FIT_COVER), 2, 8));
    write_bytes("scaled.png", png_of(fitted(read_bytes("Hidden 1.bmp"), 300, 200, VORN_FIT_COVER), 2, 8));
    for (const char* photograph : {"Main.bmp", "Hidden 2.bmp", "camera.bmp", "camera small.bmp", "crop.png", "scaled.png"}) {
        SCOPED_TRACE(photograph);
        const vorn_run run = run_vorn({"decode", photograph, "-o", "out"});
        EXPECT_EQ(run.code, 3);
        EXPECT_EQ(run.err, std::string("vorn: ") + photograph +
                               ": holds no hidden picture (its low bits read as one in no layout); to decode it all "
                               "the same, name what it holds and its build (--hidden, --build); if it was a "
                               "coded picture, it looks changed: hidden pictures do not survive re-saving, "
                               "resizing or sending through apps that recompress pictures; send the coded file "
                               "itself (as a document)\n");
        EXPECT_FALSE(fs::exists("out"));
    }
}

// A refusal names the layouts a picture may hold and the exact command for each: here a flat
// hidden picture 2, whose bits are the same in either build's order.
TEST_F(vorn_decision_test, a_refusal_gives_the_command_for_each_layout_it_may_be)
{
    write_bytes("grey.bmp", bmp_of(bytes(size_t(64) * 64 * 3, 136), 64, 64));
    ASSERT_EQ(run_vorn({"encode", "--classic", "Main.bmp", "--hidden2", "grey.bmp", "-o", "flat one.png"}).code, 0);
    const vorn_run run = run_vorn({"decode", "flat one.png", "--hidden", "2", "-o", "out dir"});
    EXPECT_EQ(run.code, 3);
    EXPECT_EQ(run.err, "vorn: flat one.png: cannot tell which build wrote it: vornhold (vorn decode 'flat one.png' -o "
                       "'out dir' --hidden 2 --build vornhold) or vornhold2 (vorn decode 'flat one.png' -o 'out dir' "
                       "--hidden 2 --build vornhold2)\n");
    EXPECT_FALSE(fs::exists("out dir"));
    // Given both, nothing is looked for.
    EXPECT_EQ(run_vorn({"decode", "flat one.png", "--hidden", "2", "--build", "vornhold", "-o", "out dir"}).code, 0);
}

}  // namespace
