// The system's file calls on Windows. Names arrive in the system's ANSI code page, as the C
// runtime's fopen takes them, and are widened for the wide-character calls.
#include <string>

#include <windows.h>

#include "system_files.h"

namespace {

// One read or write moves at most this much (a DWORD's worth, rounded down).
constexpr size_t largest_transfer = size_t(1) << 30;

// Empty when the name cannot be converted; no file has an empty name, so every call then fails.
std::wstring wide(const char* name)
{
    const int count = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (count <= 0) return std::wstring();
    std::wstring text(size_t(count), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, text.data(), count) != count) return std::wstring();
    text.resize(size_t(count) - 1);  // the terminating zero
    return text;
}

HANDLE handle_of(os_file file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

create_outcome system_create_new_file(const char* name, int, os_file& file)
{
    // Windows has no permission bits to carry over: a new file gets the folder's defaults.
    const HANDLE created = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return taken ? create_outcome::name_taken : create_outcome::failed;
    }
    file = reinterpret_cast<os_file>(created);
    return create_outcome::created;
}

bool system_write_file(os_file file, const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const DWORD chunk = DWORD(count < largest_transfer ? count : largest_transfer);
        DWORD put = 0;
        if (!WriteFile(handle_of(file), bytes, chunk, &put, nullptr) || put == 0) return false;
        bytes += put;
        count -= put;
    }
    return true;
}

bool system_close_file(os_file file) { return CloseHandle(handle_of(file)) != 0; }

bool system_replace_file(const char* from, const char* to)
{
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void system_remove_file(const char* name) { DeleteFileW(wide(name).c_str()); }

bool output_name_usable(const char* name, int& permissions)
{
    permissions = -1;
    const DWORD attributes = GetFileAttributesW(wide(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing there, or creating says why
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;  // a link is replaced, not followed
    // "wb" could open neither a folder nor a read-only file; either stays as it is.
    return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

bool open_regular_file(const char* name, os_file& file, uint64_t& length)
{
    // Sharing deletion too lets another run put a new file at this name while we read the old.
    const HANDLE opened =
        CreateFileW(wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (GetFileType(opened) != FILE_TYPE_DISK || !GetFileSizeEx(opened, &size) || size.QuadPart < 0) {
        CloseHandle(opened);
        return false;
    }
    file = reinterpret_cast<os_file>(opened);
    length = uint64_t(size.QuadPart);
    return true;
}

bool read_file_bytes(os_file file, uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const DWORD chunk = DWORD(count < largest_transfer ? count : largest_transfer);
        DWORD got = 0;
        if (!ReadFile(handle_of(file), bytes, chunk, &got, nullptr) || got == 0) return false;
        bytes += got;
        count -= got;
    }
    return true;
}

uint32_t process_number() { return uint32_t(GetCurrentProcessId()); }
