// Memory for whole pictures and files, asked of the system in huge pages where it offers them.
//
// A 4096 x 4096 picture is 48 MiB: twelve thousand 4 KiB pages, each costing a page fault when it
// is first touched, and on a virtual machine those faults cost more than the codecs' work on the
// same bytes. Linux backs memory marked with madvise(MADV_HUGEPAGE) with 2 MiB pages where it
// can, two dozen faults for the same picture; its default setting gives huge pages only to memory
// so marked. The platform layer does the same for the programs' file images; vorn's pictures and
// files are vectors, so the hint is given here. Elsewhere (other systems, WebAssembly) it is left
// out and nothing changes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "vorn.h"

// Marks the whole pages within [data, data + length) for huge pages, best before they are first
// touched. Below 4 MiB nothing is marked: such a range may hold no whole huge page, and the call
// would cost more than it saves. A refusal is ignored: the memory stays as it was.
inline void prefer_huge_pages(const void* data, size_t length)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (length < (size_t(4) << 20)) return;
    const uintptr_t page = 4096;  // madvise() wants the start on a page; the smallest page will do
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + length) & ~(page - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)length;
#endif
}

// `length` bytes, all 0, their memory marked as above before it is touched. Throws
// std::bad_alloc as a vector does.
inline std::vector<uint8_t> large_buffer(size_t length)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(length);
    prefer_huge_pages(bytes.data(), length);
    bytes.resize(length);
    return bytes;
}

// The work memory vorn_reconstruct_threaded() and vorn_keyed_reconstruct_threaded() need on
// `image`, an accepted file image, for `threads` threads. Throws std::bad_alloc as engine_work().
inline std::vector<uint8_t> reconstruct_work(const std::vector<uint8_t>& image, unsigned threads)
{
    vorn_geometry geometry;
    size_t size = 0;
    if (vorn_check_carrier(image.data(), image.size(), &geometry) != VORN_OK ||
        vorn_reconstruct_threaded_work_size(&geometry, threads, &size) != VORN_OK)
        throw std::bad_alloc();
    return large_buffer(size);
}

// The work memory an engine call needs on `image`, a file image the engine has already accepted,
// as `size_of` (vorn_reconstruct_work_size(), vorn_keyed_work_size()...) gives it. A size that
// cannot be had throws std::bad_alloc, as the allocation would.
inline std::vector<uint8_t> engine_work(vorn_error (*size_of)(const vorn_geometry*, size_t*),
                                        const std::vector<uint8_t>& image)
{
    vorn_geometry geometry;
    size_t size = 0;
    if (vorn_check_carrier(image.data(), image.size(), &geometry) != VORN_OK ||
        size_of(&geometry, &size) != VORN_OK)
        throw std::bad_alloc();
    return large_buffer(size);
}

// Bytes that are not cleared when they are taken: a picture's header may promise far more
// pixels than its file holds, and a decoder finds that out only as it goes; memory that is
// never written is never really used.
struct pixel_bytes {
    std::unique_ptr<uint8_t[]> block;
    size_t length = 0;

    void allocate(size_t count)
    {
        block.reset(new uint8_t[count]);
        length = count;
        prefer_huge_pages(block.get(), count);
    }
    uint8_t* data() { return block.get(); }
    const uint8_t* data() const { return block.get(); }
    size_t size() const { return length; }
    bool empty() const { return length == 0; }
    uint8_t& operator[](size_t at) { return block[at]; }
    const uint8_t& operator[](size_t at) const { return block[at]; }
    // `count` bytes copied from `from`.
    void assign(const uint8_t* from, size_t count)
    {
        allocate(count);
        std::copy(from, from + count, block.get());
    }
    bool operator==(const pixel_bytes& other) const
    {
        return length == other.length && std::equal(block.get(), block.get() + length, other.block.get());
    }
};
