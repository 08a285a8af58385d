#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "failure.h"
#include "file_read.h"

namespace {

std::string lower_extension(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

std::string folder_of(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void cannot_write(const std::string& path, const std::string& why)
{
    fail(exit_class::output, path + ": cannot write it: " + why);
}

[[noreturn]] void exists(const std::string& path)
{
    fail(exit_class::output, path + ": the file exists; give --force to replace it");
}

// The mode "create a file" gives: read and write for all, less the umask.
mode_t new_file_mode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

void write_all(int fd, const std::vector<uint8_t>& bytes, const std::string& path)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) cannot_write(path, errno_text(wrote < 0 ? errno : ENOSPC));
        done += size_t(wrote);
    }
}

}  // namespace

output_format format_for(const std::string& path)
{
    const std::string extension = lower_extension(path);
    if (extension == "png") return output_format::png;
    if (extension == "bmp") return output_format::bmp;
    static const char* const lossy[] = {"jpg", "jpeg", "jpe", "jfif", "webp", "gif",
                                        "heic", "heif", "avif", "jxl"};
    if (std::find(std::begin(lossy), std::end(lossy), extension) != std::end(lossy))
        fail(exit_class::usage, path + ": ." + extension +
                                    " would destroy the hidden bits (it compresses with loss or "
                                    "reduces the colours); name the output .png or .bmp");
    fail(exit_class::usage, path + ": unknown output format; name the output .png or .bmp");
}

void check_output(const std::string& path, const std::vector<std::string>& inputs, bool force)
{
    struct stat output;
    if (stat(path.c_str(), &output) == 0) {
        for (const std::string& input : inputs) {
            struct stat in;
            if (stat(input.c_str(), &in) == 0 && in.st_dev == output.st_dev && in.st_ino == output.st_ino)
                fail(exit_class::output,
                     path + ": this is the input " + input + "; name another output file");
        }
        if (S_ISDIR(output.st_mode)) cannot_write(path, "it is a directory");
    }
    struct stat link;
    if (lstat(path.c_str(), &link) == 0 && !force) exists(path);
    struct stat folder;
    if (stat(folder_of(path).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        cannot_write(path, "its folder " + folder_of(path) + " does not exist");
}

void write_output(const std::string& path, const std::vector<uint8_t>& bytes, bool force)
{
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + "." +
                            name + ".vorn-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) cannot_write(path, errno_text(errno));
    bool open = true;
    try {
        if (fchmod(fd, new_file_mode()) != 0) cannot_write(path, errno_text(errno));
        write_all(fd, bytes, path);
        // On disk before the rename, so that a crash leaves the old file or the whole new one.
        if (fsync(fd) != 0) cannot_write(path, errno_text(errno));
        open = false;
        if (close(fd) != 0) cannot_write(path, errno_text(errno));
        if (!force) {
            // A hard link never replaces a name: an output that appeared meanwhile is kept.
            // File systems without hard links fall back to a check and a rename.
            if (link(temporary.c_str(), path.c_str()) == 0) {
                unlink(temporary.c_str());
                return;
            }
            const int error = errno;
            struct stat existing;
            if (error == EEXIST || lstat(path.c_str(), &existing) == 0) exists(path);
            if (error != EPERM && error != ENOTSUP && error != ENOSYS)
                cannot_write(path, errno_text(error));
        }
        if (rename(temporary.c_str(), path.c_str()) != 0) cannot_write(path, errno_text(errno));
    } catch (...) {
        if (open) close(fd);
        unlink(temporary.c_str());
        throw;
    }
}
