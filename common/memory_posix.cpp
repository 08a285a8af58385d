// Memory for the programs' buffers on Linux and other POSIX systems, shared by the real platform
// layer and the recording stand-in so that tests and benchmarks allocate as the programs do.
//
// The programs fill whole file images and work buffers of many megabytes that are used once.
// Every fresh 4 KiB page costs a fault when it is first touched, and on a virtual machine those
// faults can cost more than all the work done on the picture; large blocks therefore start on a
// 2 MiB boundary and ask for transparent huge pages, which take one fault per 2 MiB instead.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "platform.h"

namespace {

constexpr size_t huge_page_bytes = size_t(2) << 20;

}  // namespace

void* system_allocate(size_t size)
{
    if (size < huge_page_bytes) return std::malloc(size);
    void* block = nullptr;
    if (posix_memalign(&block, huge_page_bytes, size) != 0) return nullptr;
#ifdef MADV_HUGEPAGE
    // Only advice: where huge pages are off or scarce the block simply keeps small pages.
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    madvise(block, (size + page - 1) / page * page, MADV_HUGEPAGE);
#endif
    return block;
}

void system_release(void* block) { std::free(block); }
