#include "file_image.h"

#include <algorithm>
#include <atomic>

namespace {

load_status read_open_file(os_file file, uint64_t length, file_image& image,
                           std::optional<uint32_t> required_length)
{
    if (required_length && length != *required_length) return load_status::wrong_length;
    if (length > max_file_length) return load_status::too_long;

    owned_array<uint8_t> bytes = allocate_array<uint8_t>(length);
    if (!bytes) return load_status::no_memory;
    if (!read_file_bytes(file, bytes.get(), size_t(length))) return load_status::cannot_read;

    image.bytes = std::move(bytes);
    image.length = uint32_t(length);
    return load_status::loaded;
}

// Creates a new file beside `name`, in the same folder so that it can be renamed over `name`,
// under a name no other run uses: this process's number and a count. A name left behind by an
// earlier process that had the same number is skipped, never opened.
bool create_temporary(const char* name, int permissions, std::string& temporary, os_file& file)
{
    static std::atomic<uint32_t> count{0};
    const std::string stem = std::string(name) + "." + std::to_string(process_number()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = stem + std::to_string(count++) + ".tmp";
        switch (create_new_file(temporary.c_str(), permissions, file)) {
        case create_outcome::created: return true;
        case create_outcome::name_taken: continue;
        case create_outcome::failed: return false;
        }
    }
    return false;
}

}  // namespace

load_status load_file(const std::string& path, file_image& image,
                      std::optional<uint32_t> required_length)
{
    os_file file;
    uint64_t length = 0;
    if (!open_regular_file(path.c_str(), file, length)) return load_status::cannot_read;
    const load_status status = read_open_file(file, length, image, required_length);
    system_close_file(file);
    return status;
}

write_status write_file_in_pieces(const char* name, uint32_t length, uint8_t* piece,
                                  size_t piece_size, const piece_maker& make)
{
    int permissions = -1;
    if (!output_name_usable(name, permissions)) return write_status::cannot_open;
    std::string temporary;
    os_file file;
    if (!create_temporary(name, permissions, temporary, file)) return write_status::cannot_open;
    watch_temporary(temporary.c_str());
    bool complete = true;
    for (size_t offset = 0; complete && offset < length; offset += piece_size) {
        const size_t count = std::min<size_t>(piece_size, length - offset);
        complete = write_file_bytes(file, make(offset, count, piece), count);
    }
    // Not synced to the disk first: whatever befalls the run itself, the rename alone leaves one
    // whole file at `name`, and a sync would wait for every byte to reach the disk (doubling the
    // time of a decode). Only a crash of the whole system can still cost the newest output.
    complete = close_file(file) && complete;
    // Until this rename the file at `name` is untouched, whatever befalls the run.
    const bool replaced = complete && replace_file(temporary.c_str(), name);
    if (!replaced) remove_file(temporary.c_str());
    watch_temporary(nullptr);
    return replaced ? write_status::written : write_status::cannot_write;
}

write_status write_file_image(const char* name, const uint8_t* bytes, uint32_t length)
{
    // One piece: the whole image, handed over in a single write.
    return write_file_in_pieces(name, length, nullptr, max_file_length,
                                [bytes](size_t, size_t, uint8_t*) { return bytes; });
}
