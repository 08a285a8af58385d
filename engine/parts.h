// Work split into parts that run side by side: on threads of their own where the library is
// built with threads (VORN_THREADS) and they can be started, else one after another on the
// calling thread. Parts touch separate memory, so either way gives the same bytes.
#pragma once

#include <exception>
#include <cstdint>
#ifndef VORN_NO_THREADS
#include <thread>
#endif

namespace {

// The most parts a call splits its work into, whatever it is asked for.
constexpr unsigned most_parts = 64;

// The parts a call uses when asked for `threads`, with `pieces` to share out (at least 1).
inline unsigned parts_for(unsigned threads, uint64_t pieces)
{
#ifdef VORN_NO_THREADS
    (void)threads;
    (void)pieces;
    return 1;
#else
    uint64_t parts = threads < 1 ? 1 : threads > most_parts ? most_parts : threads;
    if (parts > pieces) parts = pieces > 0 ? pieces : 1;
    return unsigned(parts);
#endif
}

// Runs part(0) to part(count - 1) (count at most most_parts) and returns when all are done: part
// 0 on the calling thread, the others on helper threads; a part whose thread cannot be started
// (no thread to be had, or no memory for one) runs on the calling thread after part 0. Parts
// must not throw.
template <class Part>
void run_parts(unsigned count, const Part& part)
{
#ifdef VORN_NO_THREADS
    for (unsigned which = 0; which < count; ++which) part(which);
#else
    std::thread helpers[most_parts];
    unsigned started = 1;
    try {
        for (; started < count && started < most_parts; ++started)
            helpers[started] = std::thread([&part, started] { part(started); });
    } catch (const std::exception&) {
    }
    if (count > 0) part(0);
    for (unsigned which = started; which < count; ++which) part(which);
    for (std::thread& helper : helpers)
        if (helper.joinable()) helper.join();
#endif
}

}  // namespace
