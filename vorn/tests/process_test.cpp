// The vorn executable in a process of its own, for what only a whole process shows.
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <csignal>
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
        execl(VORN_EXE, "vorn", "encode", "--classic", "Main.bmp", "-o", "out.bmp", static_cast<char*>(nullptr));
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

std::set<std::string> names_here()
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) names.insert(entry.path().filename());
    return names;
}

pid_t start_vorn(const std::vector<std::string>& args)
{
    const pid_t child = fork();
    if (child == 0) {
        std::vector<std::string> words{"vorn"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execv(VORN_EXE, argv.data());
        _exit(127);
    }
    return child;
}

// Stopped while it writes its output, vorn removes the temporary file first: the folder is as
// it was, and the older output is untouched. The signal is sent as soon as the temporary file
// appears, while the 48 MB of a 4096 x 4096 BMP are still being written.
TEST_F(vorn_process_test, a_stop_signal_while_writing_leaves_the_folder_as_it_was)
{
    bytes rgb(size_t(4096) * 4096 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 2654435761u >> 13);
    write_bytes("big.bmp", bmp_of(rgb, 4096, 4096));
    rgb = bytes();
    const bytes older{'o', 'l', 'd'};
    write_bytes("out.bmp", older);
    const std::set<std::string> before = names_here();
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        // On a busy machine the signal may land only after the output was written and put in
        // place: such a run proves nothing, so the older output is put back and vorn runs again.
        int status = 0;
        for (int attempt = 0; attempt < 10; ++attempt) {
            const int watch = inotify_init1(IN_CLOEXEC);
            ASSERT_GE(watch, 0);
            ASSERT_GE(inotify_add_watch(watch, ".", IN_CREATE), 0);
            const pid_t child = start_vorn({"encode", "--classic", "big.bmp", "-o", "out.bmp", "--force"});
            alignas(inotify_event) char events[4096];
            bool seen = false;
            while (!seen) {
                const ssize_t got = read(watch, events, sizeof events);
                ASSERT_GT(got, 0);
                for (char* at = events; at < events + got; at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
                    seen = seen || std::string(reinterpret_cast<inotify_event*>(at)->name).find(".tmp") != std::string::npos;
            }
            kill(child, signal_number);
            close(watch);
            waitpid(child, &status, 0);
            if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) break;
            write_bytes("out.bmp", older);
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
        EXPECT_EQ(names_here(), before);
        EXPECT_EQ(read_bytes("out.bmp"), older);
    }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define VORN_LIMITS_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer)
#define VORN_LIMITS_ADDRESS_SPACE 1
#endif
#endif

#ifdef VORN_LIMITS_ADDRESS_SPACE
// A PNG that declares 20000 x 20000 pixels is refused from its header, within an address space
// of 512 MiB; with the limit raised, the same file runs out of that memory: the refusal comes
// before the 1.2 GB of pixels are taken. The file is padded to the least such a picture can be
// compressed to (deflate shrinks at most 1032-fold), or it would be refused as broken at once.
TEST_F(vorn_process_test, the_picture_limit_refuses_before_allocating)
{
    write_bytes("huge.png", png_declaring(20000, 20000, size_t(20000) * 20000 * 3 / 1032 + 1));
    struct {
        const char* raise;  // null: the default limit
        int code;
    } const cases[] = {{nullptr, 3}, {"--max-megapixels=400", 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raise ? c.raise : "default");
        const pid_t child = fork();
        if (child == 0) {
            const rlimit memory{512u << 20, 512u << 20};
            setrlimit(RLIMIT_AS, &memory);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execl(VORN_EXE, "vorn", "reveal", "huge.png", "-o", "x.png", c.raise, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.code) << status;
    }
}
#endif

// vorn and the programs replace a file with one that keeps its permission bits.
TEST_F(vorn_process_test, a_replaced_output_keeps_its_permissions)
{
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0664)}) {
        SCOPED_TRACE(mode);
        write_bytes("out.png", {'o', 'l', 'd'});
        ASSERT_EQ(chmod("out.png", mode), 0);
        int status = 0;
        waitpid(start_vorn({"reveal", "Main.bmp", "-o", "out.png", "--force"}), &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        struct stat written;
        ASSERT_EQ(stat("out.png", &written), 0);
        EXPECT_EQ(written.st_mode & 0777, mode);
        EXPECT_GT(written.st_size, 3);
    }
}

}  // namespace
