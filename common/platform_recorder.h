// The recording stand-in for the platform (platform.h), in place of the real system in every
// program that links it: console text is collected, pauses are recorded instead of slept, the
// clock stands still (or moves by a set step at each reading), and allocations and the steps of writing a file can be made to fail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The steps of writing an output file that the stand-in can make fail.
enum class file_step { none, create, write, close, rename };

struct recorder_state {
    std::string console;
    std::vector<uint32_t> pauses;
    std::string exe_folder;            // where set_working_folder goes; empty: nowhere
    int set_working_folder_calls = 0;
    long allocations_until_failure = -1;  // -1: never fail; 0: the next one fails
    size_t largest_allocation = 0;        // the largest block asked for since the reset
    // `failing_step` fails once, for the output file numbered `failing_file` (0 is the first file
    // created since the reset), as a full disk or a failing device would; then all goes well.
    file_step failing_step = file_step::none;
    int failing_file = 0;
    int files_created = 0;
    // How far the clock moves at each reading; 0 (the default) holds it still at 1000 ms.
    int64_t clock_step_ms = 0;
    int64_t clock_now_ms = 1000;
};

recorder_state& recorder();
void reset_recorder();
