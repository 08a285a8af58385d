// The real platform for Windows. Names arrive in the system's ANSI code page, as the C runtime's
// fopen takes them, and are widened for the wide-character calls.
#include <windows.h>
#include <shlwapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform.h"

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

// The errno value nearest to the system's last error.
int last_error()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    default: return EIO;
    }
}

// The temporaries being written, removed by the console handler when Ctrl-C, Ctrl-Break or the
// closing of the console ends the run. They are opened with FILE_SHARE_DELETE, so the removal
// takes effect as soon as the writing handle is closed, at the end of the process at the latest.
std::mutex watched_lock;
std::vector<std::wstring> watched;

BOOL WINAPI remove_watched(DWORD)
{
    const std::lock_guard<std::mutex> hold(watched_lock);
    for (const std::wstring& name : watched) DeleteFileW(name.c_str());
    return FALSE;  // the run then ends as it would have without us
}

class windows_platform final : public platform {
public:
    void set_working_folder() override
    {
        wchar_t path[MAX_PATH];
        const DWORD got = GetModuleFileNameW(nullptr, path, MAX_PATH);
        // A path that filled the buffer has been cut short; its folder would be some other folder.
        if (got == 0 || got >= MAX_PATH) return;
        PathRemoveFileSpecW(path);
        SetCurrentDirectoryW(path);  // on failure the folder simply stays as it was
    }

    int64_t clock_ms() override
    {
        // The system time in 100-nanosecond intervals since 1601, read as one 64-bit count.
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        const uint64_t ticks = uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime;
        return int64_t(ticks) / 10000;
    }

    void pause_ms(uint32_t milliseconds) override
    {
        // A pipe reading the console must see every message before the program goes to sleep.
        std::fflush(stdout);
        Sleep(milliseconds);
    }

    // stdout stays in text mode, as for every console program here: the C runtime writes each
    // "\n" as "\r\n", so a message ending in "\r\n" reaches the console as "\r\r\n".
    void console_write(std::string_view text) override
    {
        // At once, so that a log or a pipe holds every message of a run that is stopped early.
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    // Large pages need a privilege that ordinary accounts lack, so blocks come from the C
    // library as they are.
    void* allocate(size_t size) override { return std::malloc(size); }
    void release(void* block) override { std::free(block); }

    int open_input(const char* name, os_file& file, uint64_t& length) override
    {
        const std::wstring path = wide(name);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
        // Sharing deletion too lets another run put a new file at this name while we read the old.
        const HANDLE opened =
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) return last_error();
        LARGE_INTEGER size;
        int error = 0;
        if (GetFileType(opened) != FILE_TYPE_DISK) error = error_not_regular;
        else if (!GetFileSizeEx(opened, &size)) error = last_error();
        else if (size.QuadPart < 0) error = error_not_regular;
        if (error) {
            CloseHandle(opened);
            return error;
        }
        file = reinterpret_cast<os_file>(opened);
        length = uint64_t(size.QuadPart);
        return 0;
    }

    int read(os_file file, uint8_t* bytes, size_t count) override
    {
        while (count > 0) {
            const DWORD chunk = DWORD(count < largest_transfer ? count : largest_transfer);
            DWORD got = 0;
            if (!ReadFile(handle_of(file), bytes, chunk, &got, nullptr)) return last_error();
            if (got == 0) return error_cut_short;
            bytes += got;
            count -= got;
        }
        return 0;
    }

    int output_usable(const char* name, int& permissions) override
    {
        // Windows has no permission bits to carry over: a new file gets the folder's defaults.
        permissions = -1;
        const DWORD attributes = GetFileAttributesW(wide(name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return 0;  // nothing there, or creating says why
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return 0;  // a link is replaced, not followed
        // "wb" could open neither a folder nor a read-only file; either stays as it is.
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
        return attributes & FILE_ATTRIBUTE_READONLY ? EACCES : 0;
    }

    int create_new(const char* name, int, os_file& file) override
    {
        const HANDLE created = CreateFileW(wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) return last_error();
        file = reinterpret_cast<os_file>(created);
        return 0;
    }

    int write(os_file file, const uint8_t* bytes, size_t count) override
    {
        while (count > 0) {
            const DWORD chunk = DWORD(count < largest_transfer ? count : largest_transfer);
            DWORD put = 0;
            if (!WriteFile(handle_of(file), bytes, chunk, &put, nullptr)) return last_error();
            if (put == 0) return ENOSPC;
            bytes += put;
            count -= put;
        }
        return 0;
    }

    int close(os_file file) override { return CloseHandle(handle_of(file)) ? 0 : last_error(); }

    int put_in_place(const char* from, const char* to, bool replace) override
    {
        // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing entry, in one step.
        const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
        return MoveFileExW(wide(from).c_str(), wide(to).c_str(), flags) ? 0 : last_error();
    }

    void remove(const char* name) override { DeleteFileW(wide(name).c_str()); }

    uint32_t process_number() override { return uint32_t(GetCurrentProcessId()); }

    // Windows ends no process for a closed console or a file-size limit: a failed write says so.
    void ignore_write_signals() override {}

    void watch_temporary(const char* name, bool watching) override
    {
        static const bool installed = SetConsoleCtrlHandler(remove_watched, TRUE) != 0;
        (void)installed;
        const std::lock_guard<std::mutex> hold(watched_lock);
        const std::wstring path = wide(name);
        if (watching) {
            watched.push_back(path);
            return;
        }
        for (auto it = watched.begin(); it != watched.end(); ++it)
            if (*it == path) {
                watched.erase(it);
                return;
            }
    }
};

}  // namespace

platform& system_platform()
{
    static windows_platform system;
    return system;
}
