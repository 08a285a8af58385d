// The platform seam: every service that differs between operating systems and between a real
// run and a test run, behind one interface. platform_posix.cpp and platform_windows.cpp are the
// real systems; platform_recorder.cpp is the stand-in for tests, fuzzers and benchmarks, which
// records pauses and console text instead of sleeping and printing and can make any step of
// writing a file fail. Linking the stand-in puts it in place of the real system for the whole
// process; the stand-in passes every file call on to the real system.
//
// What is written where, and how an output replaces its file, is decided once, in
// file_image.cpp; the implementations here only make the system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A descriptor on POSIX systems, a HANDLE on Windows.
using os_file = intptr_t;

// File calls return 0 or the errno value of the failure (Windows errors are turned into the
// nearest errno value, so that messages read alike on both systems), or one of these.
constexpr int error_not_regular = -1;  // a FIFO, device or socket stands at the name
constexpr int error_cut_short = -2;    // the file ended before all its bytes were read

class platform {
public:
    virtual ~platform() = default;

    // Makes the folder that holds the running executable the current directory. On any failure
    // the current directory stays as it was.
    virtual void set_working_folder() = 0;

    // Milliseconds from a clock; only differences are meaningful. POSIX systems use a clock that
    // never runs backwards; Windows reads the system time, which can be set back while a run
    // lasts.
    virtual int64_t clock_ms() = 0;

    // Flushes the console, then sleeps.
    virtual void pause_ms(uint32_t milliseconds) = 0;

    // Writes text to the console, where it arrives before the call returns. On POSIX systems the
    // bytes arrive exactly as given; on Windows the console is in text mode, so every "\n"
    // arrives as "\r\n" (and "\r\n" as "\r\r\n").
    virtual void console_write(std::string_view text) = 0;

    // A block of at least `size` bytes, or nullptr when memory is exhausted. Never throws.
    virtual void* allocate(size_t size) = 0;
    virtual void release(void* block) = 0;

    // Opens `name` for reading without waiting, whatever stands there, and keeps it open only when
    // it is a regular file, whose length goes to `length`: a FIFO or device is closed unread
    // (error_not_regular), a folder too (EISDIR).
    virtual int open_input(const char* name, os_file& file, uint64_t& length) = 0;
    // Reads exactly `count` bytes; error_cut_short when the file ends first.
    virtual int read(os_file file, uint8_t* bytes, size_t count) = 0;

    // Whether an output may replace what stands at `name`: 0 when nothing stands there, or a
    // link, or a regular file this process may write (whose permission bits go to
    // `permissions`, else -1); EISDIR for a folder, error_not_regular for a FIFO, device or
    // socket, EACCES for a file that is read-only to us.
    virtual int output_usable(const char* name, int& permissions) = 0;
    // Creates `name` for writing only when no entry of that name exists (EEXIST otherwise, never
    // opening it), with the permissions a new file gets under the umask, or `permissions` when
    // it is not negative.
    virtual int create_new(const char* name, int permissions, os_file& file) = 0;
    // Writes all `count` bytes.
    virtual int write(os_file file, const uint8_t* bytes, size_t count) = 0;
    // Closes the file; an error when the system reports that its bytes may not all be stored.
    // Even a failed close releases the file, so it is never retried.
    virtual int close(os_file file) = 0;
    // Puts the file `from` at `to` in one step. With `replace`, whatever stood at `to` (a file,
    // or a link, which is never followed) is replaced; without it an entry at `to` is kept and
    // the call fails with EEXIST. On failure `from` is left where it was.
    virtual int put_in_place(const char* from, const char* to, bool replace) = 0;
    virtual void remove(const char* name) = 0;

    // A number no other running process has, for names that must not collide between runs.
    virtual uint32_t process_number() = 0;

    // Called first by every program. A full file-size limit or a closed console then shows as a
    // failed write rather than ending the process by a signal, so the run can report it.
    virtual void ignore_write_signals() = 0;

    // Adds (`watched`) or drops a temporary file an output is being written to. Where the
    // system can stop a run by a signal (Ctrl-C, a termination request, a closed terminal), the
    // signal first removes every watched file, so a stopped run leaves the folder as it found
    // it. Nothing can do that for a run killed outright.
    virtual void watch_temporary(const char* name, bool watched) = 0;
};

// The real system the program was built for.
platform& system_platform();

// The platform every call goes through: the real system, unless a stand-in took its place
// (put_platform_in_place; nullptr puts the real system back).
inline platform* platform_stand_in = nullptr;
inline platform& current_platform() { return platform_stand_in ? *platform_stand_in : system_platform(); }
inline void put_platform_in_place(platform* stand_in) { platform_stand_in = stand_in; }

// Shorthands for the calls the programs make everywhere.
inline void set_working_folder() { current_platform().set_working_folder(); }
inline int64_t clock_ms() { return current_platform().clock_ms(); }
inline void pause_ms(uint32_t milliseconds) { current_platform().pause_ms(milliseconds); }
inline void console_write(std::string_view text) { current_platform().console_write(text); }
inline void* allocate_bytes(size_t size) { return current_platform().allocate(size); }
inline void release_bytes(void* block) { current_platform().release(block); }
inline void ignore_write_signals() { current_platform().ignore_write_signals(); }
