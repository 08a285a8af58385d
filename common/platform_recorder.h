// The recording stand-in for the platform layer: console text is collected, pauses are recorded
// instead of slept, the clock stands still, and allocations can be made to fail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct recorder_state {
    std::string console;
    std::vector<uint32_t> pauses;
    std::string exe_folder;            // where set_working_folder goes; empty: nowhere
    int set_working_folder_calls = 0;
    long allocations_until_failure = -1;  // -1: never fail; 0: the next one fails
    size_t largest_allocation = 0;        // the largest block asked for since the reset
};

recorder_state& recorder();
void reset_recorder();
