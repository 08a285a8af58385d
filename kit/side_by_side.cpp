#include "side_by_side.h"

#include <exception>
#include <system_error>
#include <thread>

void run_side_by_side(const std::vector<std::function<void()>>& jobs)
{
    std::vector<std::exception_ptr> failures(jobs.size());
    const auto run = [&jobs, &failures](size_t which) {
        try {
            jobs[which]();
        } catch (...) {
            failures[which] = std::current_exception();
        }
    };
    if (std::thread::hardware_concurrency() > 1 && jobs.size() > 1) {
        std::vector<std::thread> threads;
        // The last job runs here, so a thread that cannot be started only costs its job's turn.
        for (size_t which = 0; which + 1 < jobs.size(); ++which) {
            try {
                threads.emplace_back(run, which);
            } catch (const std::system_error&) {
                run(which);
            }
        }
        run(jobs.size() - 1);
        for (std::thread& thread : threads) thread.join();
    } else {
        for (size_t which = 0; which < jobs.size(); ++which) run(which);
    }
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}
