// The real executables with the real platform layer: their wiring, the folder they run in, what
// a pipe sees, and their exit code. Success runs are stopped once their last message arrives, so
// the suite never waits out a success pause; the failure runs pause 3 s together.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>
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

// `file_size_limit` bytes is the most the program may write to any one file, as `ulimit -f` sets.
process start(const fs::path& exe, const std::vector<std::string>& args, const fs::path& cwd,
              rlim_t file_size_limit = RLIM_INFINITY)
{
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_ends[1], STDOUT_FILENO);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        const rlimit limit{file_size_limit, file_size_limit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
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

TEST_F(real_process, a_file_size_limit_or_a_closed_console_ends_as_a_reported_failure)
{
    // The limit cuts Coded.bmp short; the older Coded.bmp must survive it.
    const bytes main = bmp_noise(512, 512, 3), older{'B', 'M', 'o', 'l', 'd'};
    write_file(folder / "Main.bmp", main);
    write_file(folder / "Coded.bmp", older);
    process limited = start(VORNHOLD2_EXE, {}, folder, 500 * 1024);
    // No input in `bin`: a failure, printed into a pipe nobody reads.
    process unread = start(VORNLENS_EXE, {}, bin);
    close(unread.output);
    unread.output = -1;
    EXPECT_EQ(wait_for_exit(limited), 0);
    EXPECT_EQ(wait_for_exit(unread), 0);
    const std::string tail = "Writing file...\nCan't write Coded.bmp!\n";
    ASSERT_GE(limited.seen.size(), tail.size());
    EXPECT_EQ(limited.seen.substr(limited.seen.size() - tail.size()), tail);
    EXPECT_EQ(read_file(folder / "Coded.bmp"), older);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);  // no temporary
}

TEST_F(real_process, a_link_at_the_output_name_is_replaced_and_its_target_never_written)
{
    const bytes main = bmp_noise(8, 8, 4), precious{'k', 'e', 'e', 'p'};
    write_file(folder / "Main.bmp", main);
    write_file(bin / "precious.bmp", precious);
    fs::create_symlink(bin / "precious.bmp", folder / "Coded.bmp");
    process p = start(VORNHOLD2_EXE, {}, folder);
    const bool finished = read_until(p, " ms\r\n");
    stop(p);
    ASSERT_TRUE(finished) << p.seen;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "Coded.bmp")));
    EXPECT_EQ(read_file(folder / "Coded.bmp").size(), main.size());
    EXPECT_EQ(read_file(bin / "precious.bmp"), precious);
}

}  // namespace
