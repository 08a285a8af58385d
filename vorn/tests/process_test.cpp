// The vorn executable in a process of its own, for what only a whole process shows.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <set>

#include "vorn_fixture.h"

namespace fs = std::filesystem;

namespace {

using vorn_process_test = vorn_test;

// Under a file-size limit smaller than the output, the write fails with its message and exit
// code, and neither the output nor a temporary file is left.
TEST_F(vorn_process_test, a_file_size_limit_fails_the_write_and_leaves_nothing)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        execl(VORN_EXE, "vorn", "encode", "Main.bmp", "-o", "out.bmp", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 4);
    const bytes err = read_bytes("err.txt");
    EXPECT_EQ(std::string(err.begin(), err.end()), "vorn: out.bmp: cannot write it: file too large\n");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"Hidden 1.bmp", "Hidden 2.bmp", "Main.bmp", "err.txt"}));
}

}  // namespace
