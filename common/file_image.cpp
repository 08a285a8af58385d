#include "file_image.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

// The length of an open regular file. Directories, pipes and devices have no length worth
// trusting (a directory opens for reading on POSIX systems), so they count as unreadable.
bool regular_file_length(std::FILE* file, uint64_t& length)
{
#ifdef _WIN32
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0) return false;
    if ((status.st_mode & _S_IFMT) != _S_IFREG) return false;
#else
    struct stat status;
    if (fstat(fileno(file), &status) != 0) return false;
    if (!S_ISREG(status.st_mode)) return false;
#endif
    if (status.st_size < 0) return false;
    length = uint64_t(status.st_size);
    return true;
}

// Opening a FIFO waits for its other end, so a FIFO (or a socket) named where a picture or an
// output is expected would hang the program; such names are refused before they are opened.
bool would_block_on_open(const char* name)
{
#ifdef _WIN32
    (void)name;
    return false;
#else
    struct stat status;
    return stat(name, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
#endif
}

load_status read_open_file(std::FILE* file, file_image& image,
                           std::optional<uint32_t> required_length)
{
    uint64_t length = 0;
    if (!regular_file_length(file, length)) return load_status::cannot_read;
    if (required_length && length != *required_length) return load_status::wrong_length;
    if (length > max_file_length) return load_status::too_long;

    owned_array<uint8_t> bytes = allocate_array<uint8_t>(length);
    if (!bytes) return load_status::no_memory;
    if (std::fread(bytes.get(), 1, size_t(length), file) != length) return load_status::cannot_read;

    image.bytes = std::move(bytes);
    image.length = uint32_t(length);
    return load_status::loaded;
}

}  // namespace

load_status load_file(const std::string& path, file_image& image,
                      std::optional<uint32_t> required_length)
{
    if (would_block_on_open(path.c_str())) return load_status::cannot_read;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return load_status::cannot_read;
    const load_status status = read_open_file(file, image, required_length);
    std::fclose(file);
    return status;
}

write_status write_file_in_pieces(const char* name, uint32_t length, uint8_t* piece,
                                  size_t piece_size, const piece_maker& make)
{
    if (would_block_on_open(name)) return write_status::cannot_open;
    std::FILE* file = std::fopen(name, "wb");
    if (!file) return write_status::cannot_open;
    bool complete = true;
    for (size_t offset = 0; complete && offset < length; offset += piece_size) {
        const size_t count = std::min<size_t>(piece_size, length - offset);
        const uint8_t* bytes = make(offset, count, piece);
        complete = std::fwrite(bytes, 1, count, file) == count;
    }
    complete = std::fflush(file) == 0 && complete;
    complete = std::fclose(file) == 0 && complete;
    if (complete) return write_status::written;
    // A half-written picture must not pass for a finished one.
    std::remove(name);
    return write_status::cannot_write;
}

write_status write_file_image(const char* name, const uint8_t* bytes, uint32_t length)
{
    // One piece: the whole image, handed over in a single write.
    return write_file_in_pieces(name, length, nullptr, max_file_length,
                                [bytes](size_t, size_t, uint8_t*) { return bytes; });
}
