// The real platform layer for Linux and other POSIX systems.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <signal.h>
#include <unistd.h>

#include "platform.h"

void set_working_folder()
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

int64_t clock_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void pause_ms(uint32_t milliseconds)
{
    // A pipe reading the console must see every message before the program goes to sleep.
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void console_write(std::string_view text)
{
    // At once, so that a log or a pipe holds every message of a run that is stopped early.
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void ignore_write_signals()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

namespace {

// Read by the signal handler, so kept in plain storage that it may touch.
char watched_name[4096];
volatile std::sig_atomic_t watching = 0;

extern "C" void remove_watched_and_stop(int signal_number)
{
    if (watching) unlink(watched_name);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Stop signals remove the watched file first; a signal the run was started to ignore (a job
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

}  // namespace

void watch_temporary(const char* name)
{
    static const bool installed = (install_stop_handlers(), true);
    (void)installed;
    watching = 0;
    if (!name) return;
    const size_t length = std::strlen(name);
    if (length >= sizeof watched_name) return;  // too long to keep: left unwatched
    std::memcpy(watched_name, name, length + 1);
    watching = 1;
}
