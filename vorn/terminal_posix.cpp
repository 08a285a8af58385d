// The controlling terminal, not standard input: a password is asked where the user sits even
// when the pictures come through a pipe.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "terminal.h"

namespace {

void write_all(int fd, const char* text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t wrote = write(fd, text, left);
        if (wrote <= 0) return;
        text += wrote;
        left -= size_t(wrote);
    }
}

}  // namespace

bool read_secret_line(const char* prompt, std::string& line)
{
    line.clear();
    const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    termios saved{};
    const bool is_terminal = tcgetattr(fd, &saved) == 0;
    if (is_terminal) {
        termios quiet = saved;
        quiet.c_lflag &= tcflag_t(~ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    write_all(fd, prompt);
    bool ended = false;
    char c;
    while (read(fd, &c, 1) == 1) {
        if (c == '\n') {
            ended = true;
            break;
        }
        line.push_back(c);
    }
    if (is_terminal) tcsetattr(fd, TCSAFLUSH, &saved);
    close(fd);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return is_terminal && (ended || !line.empty());
}

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

bool stdout_is_terminal() { return isatty(STDOUT_FILENO) == 1; }
