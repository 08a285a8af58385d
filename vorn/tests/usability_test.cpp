// vorn as people use it: progress on a terminal and nowhere else, standard input and output,
// a revealed picture as JPEG, no guess where nothing needed guessing, and a password given for a
// picture that needs none.
#include <iostream>
#include <sstream>

#include "platform_recorder.h"
#include "terminal_standin.h"
#include "vorn_fixture.h"

namespace {

class vorn_usability_test : public vorn_test {
protected:
    void SetUp() override
    {
        vorn_test::SetUp();
        terminal() = terminal_script{};
        write_bytes("pw.txt", {'t', 'e', 'a', '\n'});
    }
};

bool starts_with(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Progress is drawn in place ("\r" and a clearing of the line) only on a terminal, only once the
// run has taken half a second, never with --quiet; where it was drawn, one summary line is left.
TEST_F(vorn_usability_test, progress_only_on_a_terminal_after_half_a_second)
{
    const struct {
        const char* name;
        bool terminal;
        int64_t step_ms;  // how far the clock moves at each reading
        bool quiet;
        bool drawn;
    } rows[] = {{"a terminal, a slow run", true, 300, false, true},
                {"a terminal, a quick run", true, 0, false, false},
                {"a terminal, --quiet", true, 300, true, false},
                {"a file", false, 300, false, false}};
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        terminal().shows_progress = row.terminal;
        reset_recorder();
        recorder().clock_step_ms = row.step_ms;
        std::string out = std::to_string(n++);  // built in steps: GCC 12 warns wrongly on "p" + ...
        out += ".png";
        std::vector<std::string> args{"encode", "Main.bmp", "--hidden1", "Hidden 1.bmp", "-o", out};
        if (row.quiet) args.push_back("--quiet");
        const vorn_run run = run_vorn(args);
        reset_recorder();
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err.find("\r") != std::string::npos, row.drawn) << run.err;
        EXPECT_EQ(run.err.find("\x1b[K") != std::string::npos, row.drawn);
        EXPECT_EQ(run.err.find("vorn: wrote " + out) != std::string::npos, row.drawn);
    }
}

TEST_F(vorn_usability_test, standard_input_and_output_and_a_jpeg_to_look_at)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(read_bytes("Main.bmp").data()),
                                      read_bytes("Main.bmp").size()));
    std::streambuf* const saved = std::cin.rdbuf(in.rdbuf());
    const vorn_run piped = run_vorn({"reveal", "-", "-o", "-"});
    std::cin.rdbuf(saved);
    ASSERT_EQ(piped.code, 0) << piped.err;
    EXPECT_TRUE(starts_with(piped.out, "\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(piped.err, "");

    const vorn_run jpeg = run_vorn({"reveal", "Main.bmp", "-o", "seen.jpg"});
    ASSERT_EQ(jpeg.code, 0) << jpeg.err;
    const bytes file = read_bytes("seen.jpg");
    EXPECT_TRUE(file.size() > 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF);

    const vorn_run twice = run_vorn({"encode", "-", "--hidden1", "-", "-o", "x.png"});
    EXPECT_EQ(twice.code, 2);
    EXPECT_NE(twice.err.find("standard input (-) can be read for one input only"), std::string::npos);

    // A picture is never poured into a terminal.
    terminal().output_shown = true;
    const vorn_run shown = run_vorn({"reveal", "Main.bmp", "-o", "-"});
    EXPECT_EQ(shown.code, 4);
    EXPECT_EQ(shown.out, "");
    EXPECT_NE(shown.err.find("standard output is a terminal"), std::string::npos) << shown.err;
}

TEST_F(vorn_usability_test, decode_says_what_it_guessed_and_only_that)
{
    ASSERT_EQ(run_vorn({"encode", "--classic", "Main.bmp", "--hidden1", "Hidden 1.bmp", "-o", "one.png"}).code, 0);
    const struct {
        std::vector<std::string> args;
        const char* note;  // a piece of stderr; null: nothing but the file written
    } rows[] = {
        {{"decode", "one.png", "-o", "given", "--hidden", "1"}, nullptr},
        {{"decode", "one.png", "-o", "guessed"}, "one.png: assuming hidden picture 1 alone (read from the picture"},
        {{"decode", "one.png", "-o", "keyless", "--password-file", "pw.txt"},
         "one.png: holds no keyed picture; its hidden pictures are taken out without the password"},
    };
    for (const auto& row : rows) {
        const vorn_run run = run_vorn(row.args);
        ASSERT_EQ(run.code, 0) << run.err;
        if (row.note)
            EXPECT_NE(run.err.find(row.note), std::string::npos) << run.err;
        else
            EXPECT_EQ(run.err, "vorn: wrote " + row.args[3] + "/hidden-1.png (hidden picture 1 alone)\n");
        EXPECT_TRUE(std::filesystem::exists(row.args[3] + "/hidden-1.png"));
    }
}

}  // namespace
