#include "platform_recorder.h"

#include <unistd.h>

#include "platform.h"

recorder_state& recorder()
{
    static recorder_state state;
    return state;
}

void reset_recorder() { recorder() = recorder_state{}; }

void set_working_folder()
{
    ++recorder().set_working_folder_calls;
    if (!recorder().exe_folder.empty() && chdir(recorder().exe_folder.c_str()) != 0) return;
}

int64_t clock_ms() { return 1000; }

void pause_ms(uint32_t milliseconds) { recorder().pauses.push_back(milliseconds); }

void console_write(std::string_view text) { recorder().console.append(text); }

void* allocate_bytes(size_t size)
{
    if (size > recorder().largest_allocation) recorder().largest_allocation = size;
    long& budget = recorder().allocations_until_failure;
    if (budget == 0) return nullptr;
    if (budget > 0) --budget;
    return system_allocate(size);
}

void release_bytes(void* block) { system_release(block); }
