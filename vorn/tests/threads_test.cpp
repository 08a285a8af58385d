// --threads: every command writes the same files, byte for byte, on one thread and on several,
// and the option takes only a whole number of threads. (Encoding is compared in the classic form:
// the compact and keyed forms draw a new salt for every picture.)
#include "synthetic_pictures.h"
#include "vorn_fixture.h"

namespace fs = std::filesystem;

namespace {

using vorn_threads_test = vorn_test;

TEST_F(vorn_threads_test, every_command_writes_the_same_bytes_on_any_number_of_threads)
{
    // Pictures of two PNG pieces and many runs of reconstructed rows: 640 x 600 pixels.
    const bytes main_bmp = synthetic_bmp(640, 600, 1), h1 = synthetic_bmp(640, 600, 2), h2 = synthetic_bmp(640, 600, 3);
    write_bytes("main.bmp", main_bmp);
    write_bytes("h1.bmp", h1);
    write_bytes("h2.bmp", h2);
    write_bytes("main.png", png_of(main_bmp, 2, 8));
    write_bytes("h1.png", png_of(h1, 2, 8));
    write_bytes("h2.png", png_of(h2, 2, 8));
    write_bytes("password.txt", bytes{'t', 'e', 'a', '\n'});
    ASSERT_EQ(run_vorn({"encode", "main.bmp", "--hidden1", "h1.bmp", "--hidden2", "h2.bmp", "--classic", "-o",
                        "coded.png"})
                  .code,
              0);
    ASSERT_EQ(run_vorn({"encode", "main.bmp", "--hidden1", "h1.bmp", "--classic", "-o", "coded1.bmp"}).code, 0);
    ASSERT_EQ(run_vorn({"encode", "main.png", "--hidden2", "h2.png", "--classic", "--password-file", "password.txt",
                        "-o", "keyed.png"})
                  .code,
              0);
    ASSERT_EQ(run_vorn({"encode", "main.png", "--hidden1", "h1.png", "--hidden2", "h2.png", "-o", "compact.png"}).code,
              0);
    const struct {
        std::vector<std::string> args;  // each run adds -o OUT
        std::vector<std::string> outputs;
    } cases[] = {
        {{"encode", "main.png", "--hidden1", "h1.png", "--hidden2", "h2.png", "--classic"}, {"out.png"}},
        {{"encode", "main.bmp", "--hidden1", "h1.bmp", "--hidden2", "h2.bmp", "--classic"}, {"out.bmp"}},
        {{"encode", "main.png", "--hidden2", "h2.png", "--classic", "--build", "vornhold"}, {"out.png"}},
        {{"decode", "coded.png"}, {"out/hidden-1.png", "out/hidden-2.png"}},
        {{"decode", "coded.png", "--raw"}, {"out/hidden-1.png", "out/hidden-2.png"}},
        {{"decode", "coded1.bmp"}, {"out/hidden-1.png"}},
        {{"decode", "keyed.png", "--password-file", "password.txt"}, {"out/hidden-2.png"}},
        {{"decode", "compact.png"}, {"out/hidden-1.png", "out/hidden-2.png"}},
        {{"reveal", "coded.png"}, {"out.png"}},
        {{"reveal", "coded1.bmp"}, {"out.bmp"}},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& word : c.args) line += " " + word;
        SCOPED_TRACE("vorn" + line);
        std::vector<bytes> first;
        for (const char* threads : {"1", "3", ""}) {
            std::vector<std::string> args = c.args;
            const std::string out = c.args[0] == "decode" ? "out" : c.outputs[0];
            args.insert(args.end(), {"-o", out, "-f"});
            if (*threads) args.insert(args.end(), {"--threads", threads});
            fs::remove_all("out");
            const vorn_run run = run_vorn(args);
            ASSERT_EQ(run.code, 0) << run.err;
            for (size_t i = 0; i < c.outputs.size(); ++i) {
                const bytes written = read_bytes(c.outputs[i]);
                ASSERT_FALSE(written.empty()) << c.outputs[i];
                if (first.size() < c.outputs.size()) first.push_back(written);
                else EXPECT_EQ(written, first[i]) << c.outputs[i] << " with --threads " << threads;
            }
        }
    }
}

TEST_F(vorn_threads_test, takes_a_whole_number_of_threads)
{
    for (const char* wrong : {"0", "257", "two", "-1", "1.5"}) {
        const vorn_run run = run_vorn({"reveal", "Main.bmp", "-o", "x.bmp", "--threads", wrong});
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.err, std::string("vorn: --threads takes a whole number from 1 to 256, not '") + wrong +
                               "' (see vorn reveal --help)\n");
    }
    EXPECT_EQ(run_vorn({"reveal", "Main.bmp", "-o", "x.bmp", "--threads=256"}).code, 0);
}

}  // namespace
