// The platform layer: the few services that differ between operating systems and between a real
// run and a test run. The programs link the real implementation; the tests link a stand-in that
// records pauses and console text instead of sleeping and printing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "system_files.h"

// Makes the folder that holds the running executable the current directory. On any failure the
// current directory stays as it was.
void set_working_folder();

// Milliseconds from a clock; only differences are meaningful. POSIX systems use a clock that
// never runs backwards; Windows reads the system time, which can be set back while a run lasts.
int64_t clock_ms();

// Flushes the console, then sleeps.
void pause_ms(uint32_t milliseconds);

// Writes text to the console, where it arrives before the call returns. On POSIX systems the bytes arrive exactly as given; on Windows the
// console is in text mode, so every "\n" arrives as "\r\n" (and "\r\n" as "\r\r\n").
void console_write(std::string_view text);

// Returns a block of at least `size` bytes, or nullptr when memory is exhausted. Never throws.
void* allocate_bytes(size_t size);
void release_bytes(void* block);

// The system's allocator behind allocate_bytes, in both the real layer and the stand-in.
void* system_allocate(size_t size);
void system_release(void* block);

// The steps of writing an output file. The real layer passes them to the system_* calls of
// system_files.h; the stand-in can make any of them fail once, as a full disk would.
create_outcome create_new_file(const char* name, int permissions, os_file& file);
bool write_file_bytes(os_file file, const uint8_t* bytes, size_t count);
bool close_file(os_file file);
bool replace_file(const char* from, const char* to);
void remove_file(const char* name);

// Called first by every program. A full file-size limit or a closed console then shows as a
// failed write rather than ending the process by a signal, so the run can report it and still
// exit with code 0.
void ignore_write_signals();

// The temporary file an output is being written to (null: none any more). Where the system can
// stop a run by a signal (Ctrl-C, a termination request, a closed terminal), that signal first
// removes the file, so a stopped run leaves the folder as it found it. Nothing can do that for a
// run killed outright.
void watch_temporary(const char* name);
