// The system's file calls on Linux and other POSIX systems.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system_files.h"

namespace {

// One read or write moves at most this much; Linux moves no more than about 2 GiB at a time.
constexpr size_t largest_transfer = size_t(1) << 30;

}  // namespace

create_outcome system_create_new_file(const char* name, int permissions, os_file& file)
{
    // 0666 under the umask is what "wb" gives a new file.
    const int descriptor = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) return errno == EEXIST ? create_outcome::name_taken : create_outcome::failed;
    if (permissions >= 0 && fchmod(descriptor, mode_t(permissions)) != 0) {
        close(descriptor);
        unlink(name);
        return create_outcome::failed;
    }
    file = descriptor;
    return create_outcome::created;
}

bool system_write_file(os_file file, const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t put = write(int(file), bytes, count < largest_transfer ? count : largest_transfer);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        count -= size_t(put);
    }
    return true;
}

bool system_close_file(os_file file)
{
    // Even a failed close releases the descriptor, so it is never retried.
    return close(int(file)) == 0;
}

bool system_replace_file(const char* from, const char* to) { return std::rename(from, to) == 0; }

void system_remove_file(const char* name) { unlink(name); }

bool output_name_usable(const char* name, int& permissions)
{
    permissions = -1;
    struct stat status;
    if (lstat(name, &status) != 0) return errno == ENOENT;
    if (S_ISLNK(status.st_mode)) return true;
    if (!S_ISREG(status.st_mode)) return false;
    // "wb" could not have opened a file we may not write; such a file stays as it is.
    if (access(name, W_OK) != 0) return false;
    permissions = int(status.st_mode & 0777);
    return true;
}

bool open_regular_file(const char* name, os_file& file, uint64_t& length)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer, which may never come.
    const int descriptor = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return false;
    struct stat status;
    const int flags = fcntl(descriptor, F_GETFL);
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
        flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(descriptor);
        return false;
    }
    file = descriptor;
    length = uint64_t(status.st_size);
    return true;
}

bool read_file_bytes(os_file file, uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t got = read(int(file), bytes, count < largest_transfer ? count : largest_transfer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        count -= size_t(got);
    }
    return true;
}

uint32_t process_number() { return uint32_t(getpid()); }
