// Whole-file loading and writing. A file image is read in one piece and written in one piece.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform.h"

struct release_deleter {
    void operator()(void* block) const { release_bytes(block); }
};

// An array taken from allocate_bytes and given back when it goes out of scope.
template <class T>
using owned_array = std::unique_ptr<T[], release_deleter>;

// Null when memory is exhausted or count * sizeof(T) does not fit in size_t. A count of 0 still
// yields a valid (one-element) block, so that an empty raster is not mistaken for a failure.
template <class T>
owned_array<T> allocate_array(uint64_t count)
{
    if (count > SIZE_MAX / sizeof(T)) return owned_array<T>();
    const size_t bytes = count == 0 ? sizeof(T) : size_t(count) * sizeof(T);
    return owned_array<T>(static_cast<T*>(allocate_bytes(bytes)));
}

struct file_image {
    owned_array<uint8_t> bytes;
    uint32_t length = 0;
};

constexpr uint64_t max_file_length = 0xFFFFFFFF;

enum class load_status {
    loaded,
    cannot_read,   // cannot be opened, is not a regular file (a FIFO or device is opened
                   // without waiting and closed unread), or the read came up short
    too_long,      // longer than the most the caller takes; never read
    wrong_length,  // not the length the caller required; never read
    no_memory,
};

// Opens `path` for reading and reads it whole into `image`. The checks are made on the opened
// file, so a file put at `path` meanwhile is either read whole or refused. With
// `required_length`, a file of any other length is refused before anything is read.
load_status load_file(const std::string& path, file_image& image,
                      std::optional<uint32_t> required_length = std::nullopt);

// Where a file of `length` bytes is to be read to; null when there is no memory for it.
using buffer_maker = std::function<uint8_t*(uint64_t length)>;

// As load_file, for a caller that keeps the bytes in memory of its own and says why a file
// cannot be read: on cannot_read, `error` is the errno value of the failed step, EISDIR for a
// folder, error_not_regular or error_cut_short (platform.h).
load_status load_file_into(const std::string& path, uint64_t max_length, const buffer_maker& buffer_for,
                           int& error);

enum class write_status {
    written,
    cannot_open,   // the file cannot be created: a folder, FIFO, device or socket stands in its
                   // place, a file we may not write, no new file can be made in the folder, or
                   // (with existing_file::keep) any entry stands at the name
    cannot_write,  // a write, the close or the rename failed; the incomplete file has been
                   // removed and whatever stood at the name is left as it was
};

// What an output does to an entry that stands at its name.
enum class existing_file {
    replace,  // replaced in one step, as the programs always do
    keep,     // kept, even one that appears while the output is written: cannot_open, EEXIST
};

// Replaces `name` (or creates it) with `length` bytes, in one write. The bytes go to a new file
// beside it, named NAME.PROCESS-COUNT.tmp, which takes the place of `name` only once it is
// complete and closed: at any moment, whatever happens to the run, `name` is either the earlier
// file whole or the new file whole, and a run stopped by Ctrl-C, a termination request or a
// closed terminal removes the new file first. A link at `name` is itself replaced; the file it
// points to is never written. A regular file keeps its permissions; a new file gets those "wb"
// would give. The file is not synced to the disk (file_image.cpp says why). On failure, `error` (when
// given) is the errno value of the failed step, or one of those of platform.h.
write_status write_file_image(const char* name, const uint8_t* bytes, uint64_t length,
                              existing_file existing = existing_file::replace, int* error = nullptr);

// Makes the `count` bytes of a file from `offset` on and returns where they lie: in `piece`, or
// anywhere else they already stand.
using piece_maker = std::function<const uint8_t*(size_t offset, size_t count, uint8_t* piece)>;

// As write_file_image, with `length` bytes made piece by piece, `piece_size` bytes at a time, so
// that a file need never be held whole in memory.
write_status write_file_in_pieces(const char* name, uint64_t length, uint8_t* piece, size_t piece_size,
                                  const piece_maker& make, existing_file existing = existing_file::replace,
                                  int* error = nullptr);
