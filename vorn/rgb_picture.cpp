#include "rgb_picture.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "failure.h"
#include "vorn.h"

void pixel_bytes::release_from(size_t offset)
{
#if defined(__linux__)
    if (offset >= length) return;
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(block.get()) + offset + page - 1) / page * page;
    const uintptr_t end = (uintptr_t(block.get()) + length) / page * page;
    // Only pages wholly inside the block: the allocator's own bytes around it are left alone.
    if (page > 0 && begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#else
    (void)offset;
#endif
}

void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const std::string& path)
{
    if (width == 0 || height == 0) fail(exit_class::input, path + ": the picture holds no pixels");
    size_t bmp_length;
    if (vorn_bmp_length(width, height, &bmp_length) != VORN_OK)
        fail(exit_class::input, path + ": the picture is too large (" + std::to_string(width) +
                                    "x" + std::to_string(height) +
                                    "): as a 24-bit BMP it would reach 4 GiB; scale it down first");
    picture.width = width;
    picture.height = height;
    picture.rgb.allocate(size_t(width) * height * 3);
}
