// Independent pieces of a command's work run side by side, one thread each, where the machine
// has cores to spare.
#pragma once

#include <functional>
#include <vector>

// Runs every job and returns once all have ended: on threads of their own when the machine has
// more than one core, otherwise one after another in this thread. A job that throws does not stop
// the others; the first exception (in the jobs' order) is thrown again here once all have ended.
void run_side_by_side(const std::vector<std::function<void()>>& jobs);
