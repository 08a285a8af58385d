// vorn and the compact form, its default: what encode says and writes, decode taking every form
// without being told, the password, and every refusal with nothing written.
#include "terminal_standin.h"
#include "vorn_fixture.h"

namespace fs = std::filesystem;

namespace {

// The width x height pixels from (x, y) on of a 512-wide RGB picture.
bytes crop(const bytes& rgb, uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    bytes out;
    for (uint32_t row = y; row < y + height; ++row)
        out.insert(out.end(), rgb.begin() + (row * 512 + x) * 3, rgb.begin() + (row * 512 + x + width) * 3);
    return out;
}

class vorn_compact_test : public vorn_test {
protected:
    void SetUp() override
    {
        vorn_test::SetUp();
        terminal() = terminal_script{};
        const bytes main = rgb_of(read_bytes("Main.bmp")), one = rgb_of(read_bytes("Hidden 1.bmp"));
        small = crop(one, 100, 100, 40, 30);
        write_bytes("carrier.png", png_of(bmp_of(crop(main, 50, 50, 128, 96), 128, 96), 2, 8));
        write_bytes("small.png", png_of(bmp_of(small, 40, 30), 2, 8));
        write_bytes("small.jpg", jpeg_of(bmp_of(crop(one, 0, 0, 64, 64), 64, 64)));
        write_bytes("photo.png", png_of(read_bytes("Main.bmp"), 2, 8));
        write_bytes("password.txt", {'t', 'e', 'a', '\n'});
        write_bytes("wrong.txt", {'c', 'o', 'f', 'f', 'e', 'e', '\n'});
    }
    bytes small;
};

// `coded` with the lowest bit of its first pixel's red byte turned over (a PNG's pixels).
void flip_a_low_bit(const std::string& coded, const std::string& changed)
{
    bytes rgb = png_pixels(read_bytes(coded));
    rgb[3 * 500] ^= 1;
    write_bytes(changed, png_of(bmp_of(rgb, 128, 96), 2, 8));
}

TEST_F(vorn_compact_test, encode_decode_and_every_refusal)
{
    struct row {
        std::vector<std::string> args;
        int code;
        std::string err;  // a piece of stderr
        std::vector<const char*> written;
    };
    const std::string see = " (see vorn encode --help)";
    const row before[] = {
        // --compact where a row below relies on the low bits (the default may take the stealth form).
        {{"encode", "carrier.png", "--hidden1", "small.png", "--compact", "-o", "one.png"}, 0,
         "vorn: hidden picture 1 (40x30) as lossless WebP, ", {"one.png"}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--stealth", "-o", "unseen.png"}, 0,
         " of the carrier's colour bytes changed by one (", {"unseen.png"}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--stealth", "--carrier-bits", "2", "-o", "x.png"}, 2,
         "--carrier-bits is for the compact form, not --stealth" + see, {}},
        {{"encode", "carrier.png", "--hidden2", "small.png", "--hidden1", "small.jpg", "--carrier-bits", "3", "-o", "two.bmp"},
         0, "; the carrier keeps 5 of its 8 bits (", {"two.bmp"}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--compact", "--password-file", "password.txt", "-o",
          "keyed.png"}, 0,
         "vorn: to take them out: vorn decode keyed.png --password\n", {"keyed.png"}},
        {{"encode", "carrier.png", "-o", "none.png"}, 2, "nothing to hide: give hidden picture 1 or 2", {}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--carrier-bits", "5", "-o", "x.png"}, 2,
         "vorn: --carrier-bits takes 1, 2, 3 or 4, not '5'" + see, {}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--classic", "--carrier-bits", "2", "-o", "x.png"}, 2,
         "--carrier-bits is for the compact form, not --classic" + see, {}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--fit", "cover", "-o", "x.png"}, 2,
         "--fit is for --classic; the compact form keeps each hidden picture at its own size" + see, {}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--build", "vornhold", "-o", "x.png"}, 2,
         "--build is for --classic; the compact form has no build" + see, {}},
        {{"encode", "carrier.png", "--hidden1", "small.png", "--compact", "--classic", "-o", "x.png"}, 2,
         "vorn: --compact, --stealth and --classic exclude each other" + see, {}},
        {{"encode", "carrier.png", "--compact", "--hidden1", "small.png", "-o", "named.png"}, 0,
         "vorn: hidden picture 1 (40x30) as lossless WebP, ", {"named.png"}},
        {{"decode", "carrier.png", "--carrier-bits", "2"}, 2, "unknown option '--carrier-bits'", {}},
        {{"decode", "carrier.png", "--compact"}, 2, "unknown option '--compact'", {}},
    };
    // Each row's exit status and message, what it writes, and nothing written on a refusal.
    const auto run_rows = [this](const auto& rows) {
        for (const row& r : rows) {
            SCOPED_TRACE(r.args[1] + " -> " + r.args.back());
            const vorn_run run = run_vorn(r.args);
            EXPECT_EQ(run.code, r.code) << run.err;
            EXPECT_NE(run.err.find(r.err), std::string::npos) << run.err;
            for (const char* path : r.written) EXPECT_TRUE(fs::exists(path)) << path;
            if (r.code != 0) {
                EXPECT_FALSE(fs::exists(r.args.back())) << "nothing is written on a refusal";
            }
        }
    };
    run_rows(before);
    flip_a_low_bit("one.png", "changed.png");
    bytes cut = read_bytes("two.bmp");
    cut.resize(cut.size() - 100);
    write_bytes("cut.bmp", cut);

    const row after[] = {
        {{"decode", "one.png", "-o", "one"}, 0, "", {"one/hidden-1.png"}},
        {{"decode", "unseen.png", "-o", "unseen", "-v"}, 0, "vorn: wrote unseen/hidden-1.png (stealth)", {"unseen/hidden-1.png"}},
        {{"decode", "two.bmp", "-o", "two", "-v"}, 0, "vorn: wrote two/hidden-1.png (compact, 3 low bits)", {"two/hidden-1.png", "two/hidden-2.png"}},
        {{"decode", "keyed.png", "--password-file", "password.txt", "-o", "keyed"}, 0, "", {"keyed/hidden-1.png"}},
        {{"decode", "one.png", "--password-file", "password.txt", "-o", "needless"}, 0,
         "one.png: a compact picture without a password; it opens without one", {"needless/hidden-1.png"}},
        {{"decode", "keyed.png", "-o", "no-password"}, 3, "if it was hidden with a password, give it (--password)", {}},
        {{"decode", "keyed.png", "--password-file", "wrong.txt", "-o", "wrong"}, 3,
         "keyed.png: wrong password, or the picture was changed after it was coded", {}},
        {{"decode", "changed.png", "-o", "changed"}, 3, "changed.png: the compact picture was changed after it was coded", {}},
        {{"decode", "cut.bmp", "-o", "cut"}, 3, "cut.bmp: ", {}},
        {{"decode", "photo.png", "-o", "photo"}, 3, "photo.png: holds no hidden picture", {}},
    };
    run_rows(after);
    // Lossless pictures come back bit for bit, each at its own size.
    EXPECT_EQ(png_pixels(read_bytes("one/hidden-1.png")), small);
    EXPECT_EQ(png_pixels(read_bytes("keyed/hidden-1.png")), small);
    EXPECT_EQ(png_pixels(read_bytes("two/hidden-2.png")), small);
    EXPECT_EQ(png_pixels(read_bytes("two/hidden-1.png")).size(), size_t(64 * 64 * 3));
}

}  // namespace
