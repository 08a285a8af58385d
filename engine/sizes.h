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

}  // namespace
