#include "side_by_side.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace {

// 0: no budget, the machine's cores.
thread_local unsigned budget = 0;

}  // namespace

thread_budget::thread_budget(int requested) : before_(budget)
{
    if (requested > 0) budget = unsigned(requested);
}

thread_budget::~thread_budget() { budget = before_; }

unsigned threads_for(int requested)
{
    if (requested > 0) return unsigned(requested);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

void run_parts(size_t count, unsigned threads, const std::function<void(size_t)>& part)
{
    std::vector<std::exception_ptr> failures(count);
    std::atomic<size_t> next{0};
    const unsigned inherited = budget;
    const auto work = [&] {
        budget = inherited;
        for (size_t which = next++; which < count; which = next++) {
            try {
                part(which);
            } catch (...) {
                failures[which] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> helpers;
    const size_t wanted = threads > 1 && count > 1 ? std::min<size_t>(threads, count) - 1 : 0;
    for (size_t started = 0; started < wanted; ++started) {
        try {
            helpers.emplace_back(work);
        } catch (const std::exception&) {  // no thread to be had (none at all in the browser), or no memory
            break;
        }
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}

void run_side_by_side(const std::vector<std::function<void()>>& jobs, unsigned threads)
{
    if (threads == 0) threads = budget > 0 ? budget : threads_for(0);
    run_parts(jobs.size(), threads, [&jobs](size_t which) { jobs[which](); });
}
