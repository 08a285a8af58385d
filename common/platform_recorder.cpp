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

namespace {

// True once, when `step` is the failing step of the file numbered `file`.
bool fails_now(file_step step, int file)
{
    recorder_state& r = recorder();
    if (r.failing_step != step || r.failing_file != file) return false;
    r.failing_step = file_step::none;
    return true;
}

// The number of the file being written, closed or renamed: the one created last.
int current_file() { return recorder().files_created - 1; }

}  // namespace

create_outcome create_new_file(const char* name, int permissions, os_file& file)
{
    if (fails_now(file_step::create, recorder().files_created)) return create_outcome::failed;
    const create_outcome outcome = system_create_new_file(name, permissions, file);
    if (outcome == create_outcome::created) ++recorder().files_created;
    return outcome;
}

bool write_file_bytes(os_file file, const uint8_t* bytes, size_t count)
{
    if (fails_now(file_step::write, current_file())) return false;
    return system_write_file(file, bytes, count);
}

bool close_file(os_file file)
{
    const bool closed = system_close_file(file);
    return !fails_now(file_step::close, current_file()) && closed;
}

bool replace_file(const char* from, const char* to)
{
    if (fails_now(file_step::rename, current_file())) return false;
    return system_replace_file(from, to);
}

void remove_file(const char* name) { system_remove_file(name); }

void ignore_write_signals() {}

// Tests stop no run by a signal.
void watch_temporary(const char*) {}
