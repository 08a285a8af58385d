// Memory for the programs' buffers on Windows, shared by the real platform layer and the
// recording stand-in. Large pages need a privilege that ordinary accounts lack, so blocks come
// from the C library as they are.
#include <cstdlib>

#include "platform.h"

void* system_allocate(size_t size) { return std::malloc(size); }

void system_release(void* block) { std::free(block); }
