// The services the real platform layer takes straight from the system, alike on every system:
// memory and the file calls of atomic writing. (The recording stand-in wraps the same calls to
// count them and make them fail.)
#include "platform.h"
#include "system_files.h"

void* allocate_bytes(size_t size) { return system_allocate(size); }

void release_bytes(void* block) { system_release(block); }

create_outcome create_new_file(const char* name, int permissions, os_file& file)
{
    return system_create_new_file(name, permissions, file);
}

bool write_file_bytes(os_file file, const uint8_t* bytes, size_t count)
{
    return system_write_file(file, bytes, count);
}

bool close_file(os_file file) { return system_close_file(file); }

bool replace_file(const char* from, const char* to) { return system_replace_file(from, to); }

void remove_file(const char* name) { system_remove_file(name); }
