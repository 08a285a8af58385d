// vorn with a password: keyed and back through PNG and BMP, the password from the terminal or a
// file, normalised to NFC, and every way of getting it wrong told apart.
#include "terminal_standin.h"
#include "vorn_fixture.h"

namespace fs = std::filesystem;

namespace {

class vorn_keyed_test : public vorn_test {
protected:
    void SetUp() override
    {
        vorn_test::SetUp();
        terminal() = terminal_script{};
        const bytes rgb = rgb_of(read_bytes("Hidden 1.bmp"));
        bytes corner;  // 64 x 48 pixels of the sample: small enough to code quickly
        for (uint32_t y = 0; y < 48; ++y)
            corner.insert(corner.end(), rgb.begin() + y * 512 * 3, rgb.begin() + y * 512 * 3 + 64 * 3);
        write_bytes("carrier.png", png_of(bmp_of(corner, 64, 48), 2, 8));
        write_bytes("carrier-v5.bmp", v5_header_of(bmp_of(corner, 64, 48)));  // taken as it stands
        for (uint8_t& b : corner) b = uint8_t(255 - b);  // a second picture: the negative
        write_bytes("secret.png", png_of(bmp_of(corner, 64, 48), 2, 8));
        write_bytes("composed.txt", {'c', 'a', 'f', 0xC3, 0xA9, '\n'});
        write_bytes("decomposed.txt", {'c', 'a', 'f', 'e', 0xCC, 0x81, '\r', '\n', 'x'});
        write_bytes("wrong.txt", {'t', 'e', 'a', '\n'});
        write_bytes("empty.txt", {'\n'});
        write_bytes("latin1.txt", {'c', 'a', 'f', 0xE9, '\n'});
    }
};

TEST_F(vorn_keyed_test, keyed_pictures_and_every_refusal)
{
    // Keyed in the classic form once from a file, once from the terminal (asked twice): the rows
    // below decode them. (The compact form's keyed pictures have tests of their own.)
    ASSERT_EQ(run_vorn({"encode", "--classic", "carrier.png", "--hidden1", "secret.png", "--hidden2", "secret.png",
                        "--password-file", "composed.txt", "-o", "keyed.png"}).code, 0);
    terminal().answers = {"tea", "tea"};
    ASSERT_EQ(run_vorn({"encode", "--classic", "carrier.png", "--hidden2", "secret.png", "--password", "-o", "typed.bmp"}).code, 0);
    EXPECT_EQ(terminal().prompts, (std::vector<std::string>{"Password: ", "Password again: "}));
    // A BMP carrier with its own header, written as PNG: the key binds the PNG's equivalent BMP.
    ASSERT_EQ(run_vorn({"encode", "--classic", "carrier-v5.bmp", "--hidden1", "secret.png", "--password-file", "wrong.txt",
                        "-o", "v5.png"}).code, 0);
    // The compact form keyed: a wrong password typed at the prompt is asked again there too.
    ASSERT_EQ(run_vorn({"encode", "carrier.png", "--hidden1", "secret.png", "--password-file", "wrong.txt", "-o",
                        "compact.png"}).code, 0);

    struct {
        std::vector<std::string> args;
        std::vector<std::string> typed;  // the terminal's answers
        int code;
        std::string err;                 // a piece of stderr
        std::vector<const char*> written;
    } const rows[] = {
        {{"decode", "keyed.png", "--password-file", "decomposed.txt", "-o", "nfd"}, {}, 0, "", {"nfd/hidden-1.png", "nfd/hidden-2.png"}},
        {{"decode", "typed.bmp", "--password", "-o", "tty"}, {"tea"}, 0, "", {"tty/hidden-2.png"}},
        {{"decode", "v5.png", "--password-file", "wrong.txt", "-o", "v5"}, {}, 0, "", {"v5/hidden-1.png"}},
        {{"decode", "keyed.png", "--password-file", "wrong.txt", "-o", "bad"}, {}, 3,
         "keyed.png: wrong password, or the picture was changed after it was coded", {}},
        {{"decode", "keyed.png", "-o", "plain"}, {}, 3, "if it was hidden with a password, give it (--password)", {}},
        // A wrong password typed at the prompt is asked again, three tries in all; one from a file is not.
        {{"decode", "typed.bmp", "--password", "-o", "retried"}, {"coffee", "tea"}, 0,
         "vorn: wrong password; try again\nvorn: wrote retried/hidden-2.png", {"retried/hidden-2.png"}},
        {{"decode", "compact.png", "--password", "-o", "compact"}, {"coffee", "cocoa", "tea"}, 0,
         "vorn: wrong password; try again\nvorn: wrong password; try again\nvorn: wrote compact/hidden-1.png",
         {"compact/hidden-1.png"}},
        {{"decode", "typed.bmp", "--password", "-o", "thrice"}, {"a", "b", "c", "tea"}, 3,
         "again\nvorn: wrong password; try again\nvorn: typed.bmp: wrong password, or the picture was changed after "
         "it was coded; if the password is right, the picture looks changed", {}},
        {{"decode", "typed.bmp", "--password", "-o", "gone"}, {"a"}, 3,
         "vorn: wrong password; try again\nvorn: no terminal to ask for the password on", {}},
        {{"decode", "keyed.png", "--hidden", "both", "--build", "vornhold2", "-o", "forced"}, {}, 3,
         "its low bits look random", {}},
        {{"encode", "carrier.png", "--hidden1", "secret.png", "--password", "-o", "differ.png"}, {"a", "b", "c", "d", "e", "f"}, 3,
         "the two passwords typed differ", {}},
        {{"encode", "carrier.png", "--hidden1", "secret.png", "--password", "-o", "again.png"}, {"a", "b", "tea", "tea"},
         0, "", {"again.png"}},
        {{"encode", "carrier.png", "--hidden1", "secret.png", "--password", "-o", "none.png"}, {}, 3,
         "no terminal to ask for the password on", {}},
        {{"encode", "carrier.png", "--hidden1", "secret.png", "--password-file", "empty.txt", "-o", "e.png"}, {}, 3,
         "the password is empty", {}},
        {{"encode", "carrier.png", "--hidden1", "secret.png", "--password-file", "latin1.txt", "-o", "l.png"}, {}, 3,
         "not valid UTF-8", {}},
        {{"encode", "carrier.png", "--hidden1", "secret.png", "--password=tea", "-o", "arg.png"}, {}, 2,
         "--password takes no value", {}},
        {{"encode", "carrier.png", "--password-file", "wrong.txt", "-o", "nothing.png"}, {}, 2,
         "give hidden picture 1 or 2 as well", {}},
        {{"decode", "keyed.png", "--password", "--password-file", "wrong.txt"}, {}, 2, "exclude each other", {}},
        {{"reveal", "keyed.png", "--password", "-o", "r.png"}, {}, 2, "unknown option '--password'", {}},
    };
    for (const auto& row : rows) {
        terminal().answers.assign(row.typed.begin(), row.typed.end());
        const vorn_run run = run_vorn(row.args);
        const std::string line = row.args[0] + " " + row.args[1] + " " + row.args[2];
        EXPECT_EQ(run.code, row.code) << line << "\n" << run.err;
        EXPECT_NE(run.err.find(row.err), std::string::npos) << line << "\n" << run.err;
        for (const char* path : row.written) EXPECT_TRUE(fs::exists(path)) << path;
        if (row.typed.empty()) {
            EXPECT_EQ(run.err.find("try again"), std::string::npos) << line;
        }
    }
    for (const char* never : {"thrice", "gone", "bad", "plain/hidden-1.png", "forced", "differ.png", "none.png", "e.png", "arg.png", "nothing.png"})
        EXPECT_FALSE(fs::exists(never)) << never;

    // The decoded picture is the secret, dithered to 2 bits and read back over the full byte.
    const bytes secret = png_pixels(read_bytes("secret.png")), back = png_pixels(read_bytes("nfd/hidden-1.png"));
    ASSERT_EQ(secret.size(), back.size());
    double difference = 0;
    for (size_t i = 0; i < secret.size(); ++i) difference += std::abs(int(secret[i]) - int(back[i]));
    EXPECT_LT(difference / double(secret.size()), 40);
}

}  // namespace
