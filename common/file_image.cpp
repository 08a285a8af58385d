// How every program reads an input and writes an output, decided once: the system calls
// themselves are the platform's (platform.h).
#include "file_image.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace {

// Creates a new file beside `name`, in the same folder so that it can be renamed over `name`,
// under a name no other run uses: this process's number and a count. A name left behind by an
// earlier process that had the same number is skipped, never opened. The name is visible and
// ends in .tmp, so that what a run killed outright leaves behind is plain to see and to clear.
int create_temporary(platform& os, const char* name, int permissions, std::string& temporary, os_file& file)
{
    static std::atomic<uint32_t> count{0};
    const std::string stem = std::string(name) + "." + std::to_string(os.process_number()) + "-";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = stem + std::to_string(count++) + ".tmp";
        // Watched before it exists, so that no stop signal finds it made but unwatched.
        os.watch_temporary(temporary.c_str(), true);
        error = os.create_new(temporary.c_str(), permissions, file);
        if (error) os.watch_temporary(temporary.c_str(), false);
    }
    return error;
}

write_status failed(write_status status, int cause, int* error)
{
    if (error) *error = cause;
    return status;
}

}  // namespace

load_status load_file_into(const std::string& path, uint64_t max_length, const buffer_maker& buffer_for,
                           int& error)
{
    platform& os = current_platform();
    os_file file;
    uint64_t length = 0;
    error = os.open_input(path.c_str(), file, length);
    if (error) return load_status::cannot_read;
    load_status status = load_status::loaded;
    uint8_t* bytes = nullptr;
    if (length > max_length || length > SIZE_MAX) status = load_status::too_long;
    else if (!(bytes = buffer_for(length))) status = load_status::no_memory;
    else if ((error = os.read(file, bytes, size_t(length))) != 0) status = load_status::cannot_read;
    os.close(file);
    return status;
}

load_status load_file(const std::string& path, file_image& image, std::optional<uint32_t> required_length)
{
    owned_array<uint8_t> bytes;
    bool wrong_length = false;
    uint64_t file_length = 0;
    int error = 0;
    const load_status status = load_file_into(path, max_file_length, [&](uint64_t length) -> uint8_t* {
        if (required_length && length != *required_length) {
            wrong_length = true;
            return nullptr;
        }
        bytes = allocate_array<uint8_t>(length);
        file_length = length;
        return bytes.get();
    }, error);
    if (wrong_length) return load_status::wrong_length;
    if (status != load_status::loaded) return status;
    image.bytes = std::move(bytes);
    image.length = uint32_t(file_length);  // at most max_file_length
    return status;
}

write_status write_file_in_pieces(const char* name, uint64_t length, uint8_t* piece, size_t piece_size,
                                  const piece_maker& make, existing_file existing, int* error)
{
    platform& os = current_platform();
    const bool replace = existing == existing_file::replace;
    int permissions = -1;
    // Kept entries are kept by the last step, which never replaces one.
    int cause = replace ? os.output_usable(name, permissions) : 0;
    if (cause) return failed(write_status::cannot_open, cause, error);
    std::string temporary;
    os_file file;
    if ((cause = create_temporary(os, name, permissions, temporary, file)) != 0)
        return failed(write_status::cannot_open, cause, error);
    for (uint64_t offset = 0; !cause && offset < length; offset += piece_size) {
        const size_t count = size_t(std::min<uint64_t>(piece_size, length - offset));
        cause = os.write(file, make(size_t(offset), count, piece), count);
    }
    // Not synced to the disk first: whatever befalls the run itself, the rename alone leaves one
    // whole file at `name`, and ext4, the usual Linux file system, flushes a file renamed over
    // another before the rename itself. Only a crash of the whole system can still cost the
    // newest output, which the run's inputs make again. A sync measured 9 ms more on a 48 MB
    // output (52 ms against 43) on a virtual disk that answers from its host's cache, and costs
    // a wait for the medium itself on a real disk or a memory stick.
    const int closed = os.close(file);
    if (!cause) cause = closed;
    // Until this step the entry at `name` is untouched, whatever befalls the run.
    if (!cause) cause = os.put_in_place(temporary.c_str(), name, replace);
    if (cause) os.remove(temporary.c_str());
    os.watch_temporary(temporary.c_str(), false);
    if (!cause) return write_status::written;
    // An entry that appeared at the name while the output was written is kept.
    return failed(!replace && cause == EEXIST ? write_status::cannot_open : write_status::cannot_write, cause, error);
}

write_status write_file_image(const char* name, const uint8_t* bytes, uint64_t length, existing_file existing,
                              int* error)
{
    // One piece: the whole image, handed over in a single write.
    return write_file_in_pieces(name, length, nullptr, SIZE_MAX,
                                [bytes](size_t, size_t, uint8_t*) { return bytes; }, existing, error);
}
