// The real platform layer for Windows.
#include <cstdio>

#include <windows.h>
#include <shlwapi.h>

#include "platform.h"

void set_working_folder()
{
    wchar_t path[MAX_PATH];
    const DWORD got = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A path that filled the buffer has been cut short; its folder would be some other folder.
    if (got == 0 || got >= MAX_PATH) return;
    PathRemoveFileSpecW(path);
    SetCurrentDirectoryW(path);  // on failure the folder simply stays as it was
}

int64_t clock_ms()
{
    // The system time in 100-nanosecond intervals since 1601, read as one 64-bit count.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    return int64_t(ticks) / 10000;
}

void pause_ms(uint32_t milliseconds)
{
    // A pipe reading the console must see every message before the program goes to sleep.
    std::fflush(stdout);
    Sleep(milliseconds);
}

// stdout stays in text mode, as for every console program here: the C runtime writes each "\n"
// as "\r\n", so a message ending in "\r\n" reaches the console as "\r\r\n".
void console_write(std::string_view text)
{
    // At once, so that a log or a pipe holds every message of a run that is stopped early.
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// Windows ends no process for a closed console or a file-size limit: a failed write says so.
void ignore_write_signals() {}

// A console program on Windows is ended without a handler of ours running in between.
void watch_temporary(const char*) {}
