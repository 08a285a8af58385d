#include "fake_platform.h"

#include <cstdlib>
#include <unistd.h>

#include "platform.h"

fake_platform_state& fake()
{
    static fake_platform_state state;
    return state;
}

void reset_fake() { fake() = fake_platform_state{}; }

void set_working_folder()
{
    ++fake().set_working_folder_calls;
    if (!fake().exe_folder.empty() && chdir(fake().exe_folder.c_str()) != 0) return;
}

int64_t clock_ms() { return 1000; }

void pause_ms(uint32_t milliseconds) { fake().pauses.push_back(milliseconds); }

void console_write(std::string_view text) { fake().console.append(text); }

void* allocate_bytes(size_t size)
{
    long& budget = fake().allocations_until_failure;
    if (budget == 0) return nullptr;
    if (budget > 0) --budget;
    return std::malloc(size);
}

void release_bytes(void* block) { std::free(block); }
