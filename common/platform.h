// The platform layer: the few services that differ between operating systems and between a real
// run and a test run. The programs link the real implementation; the tests link a stand-in that
// records pauses and console text instead of sleeping and printing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Makes the folder that holds the running executable the current directory. On any failure the
// current directory stays as it was.
void set_working_folder();

// Milliseconds from a clock; only differences are meaningful. POSIX systems use a clock that
// never runs backwards; Windows reads the system time, which can be set back while a run lasts.
int64_t clock_ms();

// Flushes the console, then sleeps.
void pause_ms(uint32_t milliseconds);

// Writes text to the console. On POSIX systems the bytes arrive exactly as given; on Windows the
// console is in text mode, so every "\n" arrives as "\r\n" (and "\r\n" as "\r\r\n").
void console_write(std::string_view text);

// Returns a block of at least `size` bytes, or nullptr when memory is exhausted. Never throws.
void* allocate_bytes(size_t size);
void release_bytes(void* block);
