#include "file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "failure.h"

std::string errno_text(int error)
{
    std::string text = std::strerror(error);
    if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

namespace {

struct descriptor {
    int fd;
    ~descriptor()
    {
        if (fd >= 0) close(fd);
    }
};

[[noreturn]] void cannot_read(const std::string& path, const std::string& why)
{
    fail(exit_class::input, path + ": cannot read it: " + why);
}

}  // namespace

std::vector<uint8_t> read_whole_file(const std::string& path)
{
    // Opened without blocking so that a FIFO in the input's place cannot stall the run; the
    // descriptor itself is then checked, leaving no gap between a check and the open.
    descriptor file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) cannot_read(path, errno_text(errno));
    struct stat status;
    if (fstat(file.fd, &status) != 0) cannot_read(path, errno_text(errno));
    if (S_ISDIR(status.st_mode)) cannot_read(path, "it is a directory");
    if (!S_ISREG(status.st_mode)) cannot_read(path, "it is not a regular file");
    if (status.st_size == 0) fail(exit_class::input, path + ": the file is empty");
    const int flags = fcntl(file.fd, F_GETFL);
    if (flags >= 0) fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);

    std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = read(file.fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) cannot_read(path, errno_text(errno));
        if (got == 0) cannot_read(path, "the file became shorter while it was read");
        done += size_t(got);
    }
    return bytes;
}
