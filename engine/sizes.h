// Buffer sizes computed in 64 bits and handed out only when the caller's size_t holds them, so
// that no size wraps on a 32-bit system.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vorn.h"

namespace {

constexpr bool size_fits(uint64_t bytes, uint64_t size_max = SIZE_MAX) { return bytes <= size_max; }

inline vorn_error hand_out_size(uint64_t bytes, size_t* size)
{
    if (!size) return VORN_ERR_ARGUMENT;
    if (!size_fits(bytes)) return VORN_ERR_SIZE_OVERFLOW;
    *size = size_t(bytes);
    return VORN_OK;
}

inline bool known_build(vorn_build build) { return build == VORN_VORNHOLD2 || build == VORN_VORNHOLD; }

// The one rule for every caller's work buffer: `work` may be null exactly when work_size is 0,
// and work_size must reach the `needed` bytes the call's *_work_size() function gives. A call
// that needs no work therefore takes (null, 0) as well as any buffer.
inline vorn_error check_work(const void* work, size_t work_size, uint64_t needed)
{
    if (!work && work_size > 0) return VORN_ERR_ARGUMENT;
    return work_size < needed ? VORN_ERR_BUFFER_TOO_SMALL : VORN_OK;
}

}  // namespace
