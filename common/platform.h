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

// Milliseconds from a clock that never runs backwards; only differences are meaningful.
int64_t clock_ms();

// Flushes the console, then sleeps.
void pause_ms(uint32_t milliseconds);

// Writes text to the console exactly as given (no line-ending translation).
void console_write(std::string_view text);

// Returns a block of at least `size` bytes, or nullptr when memory is exhausted. Never throws.
void* allocate_bytes(size_t size);
void release_bytes(void* block);
