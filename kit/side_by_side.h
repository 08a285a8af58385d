// Independent pieces of a command's work run side by side, on as many threads as the caller
// allows, where the machine has cores to spare.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

// The threads a step may use: `requested` when it is 1 or more, else the cores this machine has
// (at least 1).
unsigned threads_for(int requested);

// Runs part(0) to part(count - 1) on at most `threads` threads, the calling one among them: each
// thread takes the next part not yet begun as soon as it is free, so parts begin in order. A
// thread that cannot be started only costs its share: the calling thread runs every part left.
// A part that throws does not stop the others; the first exception (in the parts' order) is
// thrown again here once all have ended.
void run_parts(size_t count, unsigned threads, const std::function<void(size_t)>& part);

// Runs every job on at most `threads` threads (0: the thread budget below, else the machine's
// cores), as run_parts() runs parts, and returns once all have ended.
void run_side_by_side(const std::vector<std::function<void()>>& jobs, unsigned threads = 0);

// While it lives, the threads a step that is given none may use (run_side_by_side() with 0), on
// this thread and on the threads run_parts() starts from it: how a request's thread count reaches
// steps deep inside it. `requested` as threads_for() takes it; 0 leaves the budget as it was.
class thread_budget {
public:
    explicit thread_budget(int requested);
    ~thread_budget();
    thread_budget(const thread_budget&) = delete;
    thread_budget& operator=(const thread_budget&) = delete;

private:
    unsigned before_;
};
