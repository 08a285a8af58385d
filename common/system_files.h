// The system's own file calls, shared by the real platform layer and the recording stand-in (as
// the system allocator is), so that tests read and write real files exactly as the programs do.
// The write path reaches the steps that can fail on a full disk through the platform seam
// (platform.h), where the stand-in can make each of them fail.
#pragma once

#include <cstddef>
#include <cstdint>

// A descriptor on POSIX systems, a HANDLE on Windows.
using os_file = intptr_t;

enum class create_outcome { created, name_taken, failed };

// Creates `name` for writing only when no entry of that name exists (never opening one that
// does), with the permissions a new file gets under the umask, or `permissions` when it is not
// negative.
create_outcome system_create_new_file(const char* name, int permissions, os_file& file);

// Writes all `count` bytes, or returns false.
bool system_write_file(os_file file, const uint8_t* bytes, size_t count);

// Closes the file; false when the system reports that its bytes may not all be stored.
bool system_close_file(os_file file);

// Puts the file `from` in place of `to` in one step: whatever stood at `to` (a file, or a link,
// which is never followed) is replaced, and on failure nothing changes.
bool system_replace_file(const char* from, const char* to);

void system_remove_file(const char* name);

// Whether an output may be put in place at `name`: true when nothing stands there, or a link, or
// a regular file that this process may write (whose permission bits go to `permissions`, else
// -1); false for a folder, a FIFO, a device or a socket, and for a file that is read-only to us.
bool output_name_usable(const char* name, int& permissions);

// Opens `name` for reading without waiting, whatever stands there, and keeps it open only when it
// is a regular file, whose length goes to `length`. A FIFO or device is closed unread.
bool open_regular_file(const char* name, os_file& file, uint64_t& length);

// Reads exactly `count` bytes, or returns false.
bool read_file_bytes(os_file file, uint8_t* bytes, size_t count);

// A number no other running process has, for names that must not collide between runs.
uint32_t process_number();
