// The real executables with the real platform layer: their wiring, the folder they run in, what
// a pipe sees, and their exit code. Success runs are stopped once their last message arrives, so
// the suite never waits out a success pause; the failure runs pause 3 s together.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bmp_builder.h"

namespace fs = std::filesystem;

namespace {

struct process {
    pid_t pid = -1;
    int output = -1;
    std::string seen;
};

process start(const fs::path& exe, const std::vector<std::string>& args, const fs::path& cwd)
{
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_ends[1], STDOUT_FILENO);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        std::vector<std::string> words{exe.filename().string()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(pipe_ends[1]);
    return {pid, pipe_ends[0], {}};
}

// Reads until `marker` has arrived (true) or the program closed its output (false).
bool read_until(process& p, const std::string& marker)
{
    char chunk[4096];
    while (p.seen.find(marker) == std::string::npos) {
        const ssize_t got = read(p.output, chunk, sizeof chunk);
        if (got <= 0) return false;
        p.seen.append(chunk, size_t(got));
    }
    return true;
}

int wait_for_exit(process& p)
{
    read_until(p, std::string(1, '\0'));  // to the end of the output
    close(p.output);
    int status = 0;
    waitpid(p.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void stop(process& p)
{
    kill(p.pid, SIGKILL);
    close(p.output);
    waitpid(p.pid, nullptr, 0);
}

class real_process : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (fs::temp_directory_path() / "vorn-process-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        folder = name;
        bin = folder / "bin";
        fs::create_directory(bin);
    }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder, bin;
};

TEST_F(real_process, failures_print_their_message_and_exit_with_code_0)
{
    // No argument: the current folder, which holds none of the default input files.
    struct {
        fs::path exe;
        std::string expected;
    } const cases[] = {
        {VORNHOLD2_EXE, "Vornhold 2\nLoading main file...\nMain.bmp\nCan't open main file!\n"},
        {VORNHOLD_EXE, "Vornhold\nLoading main file...\nMain.bmp\nCan't open main file!\n"},
        {VORNLENS_EXE, "Loading main file...\r\nin_main.bmp\r\nCan't open main file!\n"},
    };
    std::vector<process> running;
    for (const auto& c : cases) running.push_back(start(c.exe, {}, folder));
    for (size_t i = 0; i < running.size(); ++i) {
        // The message reaches the pipe before the pause begins.
        EXPECT_TRUE(read_until(running[i], "Can't open main file!\n"));
        EXPECT_EQ(wait_for_exit(running[i]), 0);
        EXPECT_EQ(running[i].seen, cases[i].expected);
    }
}

TEST_F(real_process, one_argument_works_in_the_executables_own_folder)
{
    for (const char* exe : {VORNHOLD2_EXE, VORNHOLD_EXE, VORNLENS_EXE})
        fs::copy_file(exe, bin / fs::path(exe).filename());
    const bytes main = bmp_noise(8, 8, 1), hidden = bmp_noise(8, 8, 2);
    write_file(bin / "Main.bmp", main);
    write_file(bin / "Hidden 1.bmp", hidden);
    struct {
        const char* program;
        const char* argument;
        const char* output;
    } const runs[] = {
        {"vornhold2", "Main.bmp", "Coded.bmp"},
        {"vornhold2", "Coded.bmp", "Decoded_2.bmp"},
        {"vornlens", "Coded.bmp", "out.bmp"},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.program);
        process p = start(bin / r.program, {r.argument}, folder);  // started from elsewhere
        const bool finished = read_until(p, " ms\r\n");
        stop(p);
        ASSERT_TRUE(finished) << p.seen;
        EXPECT_NE(p.seen.find("Done!\r\nExecution time: "), std::string::npos);
        EXPECT_EQ(read_file(bin / r.output).size(), main.size());
        EXPECT_FALSE(fs::exists(folder / r.output));
    }
}

}  // namespace
