// The real platform for Linux and other POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform.h"

namespace {

// One read or write moves at most this much; Linux moves no more than about 2 GiB at a time.
constexpr size_t largest_transfer = size_t(1) << 30;

// The programs fill whole file images and work buffers of many megabytes that are used once.
// Every fresh 4 KiB page costs a fault when it is first touched, and on a virtual machine those
// faults can cost more than all the work done on the picture; large blocks therefore start on a
// 2 MiB boundary and ask for transparent huge pages, which take one fault per 2 MiB instead.
constexpr size_t huge_page_bytes = size_t(2) << 20;

// The temporaries being written, read by the stop-signal handler, so kept in plain storage it
// may touch. A few slots, since the outputs of one run may be written side by side.
struct watched_file {
    char name[4096];
    std::atomic<int> in_use{0};
};
watched_file watched[8];
std::mutex watched_lock;  // taken by the threads that add and drop names, never by the handler

extern "C" void remove_watched_and_stop(int signal_number)
{
    for (watched_file& file : watched)
        if (file.in_use.load(std::memory_order_acquire)) unlink(file.name);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Stop signals remove the watched files first; a signal the run was started to ignore (a job
// started with nohup, say) stays ignored.
void install_stop_handlers()
{
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = remove_watched_and_stop;
        sigemptyset(&action.sa_mask);
        struct sigaction before {};
        if (sigaction(signal_number, &action, &before) == 0 && before.sa_handler == SIG_IGN)
            sigaction(signal_number, &before, nullptr);
    }
}

class posix_platform final : public platform {
public:
    void set_working_folder() override
    {
        std::string path(4096, '\0');
        for (;;) {
            const ssize_t got = readlink("/proc/self/exe", path.data(), path.size());
            if (got < 0) return;
            if (size_t(got) < path.size()) {
                path.resize(size_t(got));
                break;
            }
            path.resize(path.size() * 2);  // the link may be longer than any fixed buffer
        }
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) return;
        path.resize(slash == 0 ? 1 : slash);
        if (chdir(path.c_str()) != 0) return;  // the folder simply stays as it was
    }

    int64_t clock_ms() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    void pause_ms(uint32_t milliseconds) override
    {
        // A pipe reading the console must see every message before the program goes to sleep.
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    void console_write(std::string_view text) override
    {
        // At once, so that a log or a pipe holds every message of a run that is stopped early.
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    void* allocate(size_t size) override
    {
        if (size < huge_page_bytes) return std::malloc(size);
        void* block = nullptr;
        if (posix_memalign(&block, huge_page_bytes, size) != 0) return nullptr;
#ifdef MADV_HUGEPAGE
        // Only advice: where huge pages are off or scarce the block simply keeps small pages.
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        madvise(block, (size + page - 1) / page * page, MADV_HUGEPAGE);
#endif
        return block;
    }

    void release(void* block) override { std::free(block); }

    int open_input(const char* name, os_file& file, uint64_t& length) override
    {
        // Without O_NONBLOCK, opening a FIFO waits for a writer, which may never come. The checks
        // are made on the opened file, so nothing can be put at the name between them.
        const int descriptor = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) return errno;
        struct stat status;
        int error = fstat(descriptor, &status) != 0 ? errno : 0;
        if (!error && S_ISDIR(status.st_mode)) error = EISDIR;
        if (!error && (!S_ISREG(status.st_mode) || status.st_size < 0)) error = error_not_regular;
        const int flags = error ? 0 : fcntl(descriptor, F_GETFL);
        if (!error && (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)) error = errno;
        if (error) {
            ::close(descriptor);
            return error;
        }
        file = descriptor;
        length = uint64_t(status.st_size);
        return 0;
    }

    int read(os_file file, uint8_t* bytes, size_t count) override
    {
        while (count > 0) {
            const ssize_t got = ::read(int(file), bytes, count < largest_transfer ? count : largest_transfer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return errno;
            if (got == 0) return error_cut_short;
            bytes += got;
            count -= size_t(got);
        }
        return 0;
    }

    int output_usable(const char* name, int& permissions) override
    {
        permissions = -1;
        struct stat status;
        if (lstat(name, &status) != 0) return errno == ENOENT ? 0 : errno;
        if (S_ISLNK(status.st_mode)) return 0;
        if (S_ISDIR(status.st_mode)) return EISDIR;
        if (!S_ISREG(status.st_mode)) return error_not_regular;
        // "wb" could not have opened a file we may not write; such a file stays as it is.
        if (access(name, W_OK) != 0) return errno;
        permissions = int(status.st_mode & 0777);
        return 0;
    }

    int create_new(const char* name, int permissions, os_file& file) override
    {
        // 0666 under the umask is what "wb" gives a new file.
        const int descriptor = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) return errno;
        if (permissions >= 0 && fchmod(descriptor, mode_t(permissions)) != 0) {
            const int error = errno;
            ::close(descriptor);
            unlink(name);
            return error;
        }
        file = descriptor;
        return 0;
    }

    int write(os_file file, const uint8_t* bytes, size_t count) override
    {
        while (count > 0) {
            const ssize_t put = ::write(int(file), bytes, count < largest_transfer ? count : largest_transfer);
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return errno;
            if (put == 0) return ENOSPC;  // a regular file takes no byte only when it cannot grow
            bytes += put;
            count -= size_t(put);
        }
        return 0;
    }

    int close(os_file file) override { return ::close(int(file)) == 0 ? 0 : errno; }

    int put_in_place(const char* from, const char* to, bool replace) override
    {
        if (replace) return std::rename(from, to) == 0 ? 0 : errno;
        // A hard link never replaces a name: an entry that appeared at `to` meanwhile is kept.
        if (link(from, to) == 0) {
            unlink(from);
            return 0;
        }
        const int error = errno;
        if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != ENOSYS && error != EMLINK)
            return error;
        // A file system without hard links: a check and a rename, with a moment in between.
        struct stat status;
        if (lstat(to, &status) == 0) return EEXIST;
        return std::rename(from, to) == 0 ? 0 : errno;
    }

    void remove(const char* name) override { unlink(name); }

    uint32_t process_number() override { return uint32_t(getpid()); }

    void ignore_write_signals() override
    {
        std::signal(SIGPIPE, SIG_IGN);
        std::signal(SIGXFSZ, SIG_IGN);
    }

    void watch_temporary(const char* name, bool watching) override
    {
        static const bool installed = (install_stop_handlers(), true);
        (void)installed;
        const size_t length = std::strlen(name);
        if (length >= sizeof watched[0].name) return;  // too long to keep: left unwatched
        const std::lock_guard<std::mutex> hold(watched_lock);
        for (watched_file& file : watched) {
            const bool in_use = file.in_use.load(std::memory_order_relaxed);
            if (watching && !in_use) {
                std::memcpy(file.name, name, length + 1);
                file.in_use.store(1, std::memory_order_release);
                return;
            }
            if (!watching && in_use && std::strcmp(file.name, name) == 0) {
                file.in_use.store(0, std::memory_order_release);
                return;
            }
        }
    }
};

}  // namespace

platform& system_platform()
{
    static posix_platform system;
    return system;
}
