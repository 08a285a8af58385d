// The console, not standard input: a password is asked where the user sits even when the
// pictures come through a pipe. It is read as UTF-16 (ReadConsoleW), whatever the console's code
// page, and handed on as UTF-8.
#include <windows.h>

#include <string>

#include "terminal.h"

namespace {

// The console's input and output, opened by name; closed when it goes.
struct console_handle {
    HANDLE handle;
    explicit console_handle(const wchar_t* name)
        : handle(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr))
    {
    }
    ~console_handle()
    {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    console_handle(const console_handle&) = delete;
    console_handle& operator=(const console_handle&) = delete;
};

void write_text(HANDLE out, const char* text)
{
    DWORD wrote = 0;
    WriteConsoleA(out, text, DWORD(std::char_traits<char>::length(text)), &wrote, nullptr);
}

// The UTF-8 form of UTF-16 text; a lone surrogate becomes U+FFFD, as Windows converts it.
std::string utf8_of(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

}  // namespace

bool read_secret_line(const char* prompt, std::string& line)
{
    line.clear();
    console_handle in(L"CONIN$"), out(L"CONOUT$");
    DWORD saved = 0;
    if (in.handle == INVALID_HANDLE_VALUE || out.handle == INVALID_HANDLE_VALUE || !GetConsoleMode(in.handle, &saved))
        return false;
    // Whole lines, Ctrl-C still working, and no echo.
    SetConsoleMode(in.handle, (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    write_text(out.handle, prompt);
    std::wstring typed;
    typed.reserve(256);  // so that no shorter copy is left behind in freed memory as it grows
    bool ended = false;
    wchar_t c;
    DWORD got = 0;
    while (ReadConsoleW(in.handle, &c, 1, &got, nullptr) && got == 1) {
        if (c == L'\n') {
            ended = true;
            break;
        }
        if (c != L'\r') typed.push_back(c);
    }
    SetConsoleMode(in.handle, saved);
    // The Enter key was not echoed: the next text starts on a line of its own.
    write_text(out.handle, "\r\n");
    line = utf8_of(typed);
    SecureZeroMemory(typed.data(), typed.size() * sizeof(wchar_t));
    return ended || !line.empty();
}

bool stderr_is_terminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool stdout_is_terminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}
