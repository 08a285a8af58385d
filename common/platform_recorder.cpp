#include "platform_recorder.h"

#include <unistd.h>

#include <cerrno>

#include "platform.h"

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

// Every file call goes to the real system, so tests read and write real files exactly as the
// programs do; the steps a full disk or a failing device can fail are made to fail on demand.
class recording_platform final : public platform {
public:
    void set_working_folder() override
    {
        ++recorder().set_working_folder_calls;
        if (!recorder().exe_folder.empty() && chdir(recorder().exe_folder.c_str()) != 0) return;
    }

    int64_t clock_ms() override
    {
        // A moving clock is for runs on one thread; a still one is only read, from any thread.
        recorder_state& state = recorder();
        const int64_t now = state.clock_now_ms;
        if (state.clock_step_ms != 0) state.clock_now_ms += state.clock_step_ms;
        return now;
    }

    void pause_ms(uint32_t milliseconds) override { recorder().pauses.push_back(milliseconds); }

    void console_write(std::string_view text) override { recorder().console.append(text); }

    void* allocate(size_t size) override
    {
        if (size > recorder().largest_allocation) recorder().largest_allocation = size;
        long& budget = recorder().allocations_until_failure;
        if (budget == 0) return nullptr;
        if (budget > 0) --budget;
        return real.allocate(size);
    }

    void release(void* block) override { real.release(block); }

    int open_input(const char* name, os_file& file, uint64_t& length) override
    {
        return real.open_input(name, file, length);
    }

    int read(os_file file, uint8_t* bytes, size_t count) override { return real.read(file, bytes, count); }

    int output_usable(const char* name, int& permissions) override
    {
        return real.output_usable(name, permissions);
    }

    int create_new(const char* name, int permissions, os_file& file) override
    {
        if (fails_now(file_step::create, recorder().files_created)) return EIO;
        const int error = real.create_new(name, permissions, file);
        if (!error) ++recorder().files_created;
        return error;
    }

    int write(os_file file, const uint8_t* bytes, size_t count) override
    {
        if (fails_now(file_step::write, current_file())) return ENOSPC;
        return real.write(file, bytes, count);
    }

    int close(os_file file) override
    {
        const int error = real.close(file);
        return fails_now(file_step::close, current_file()) ? EIO : error;
    }

    int put_in_place(const char* from, const char* to, bool replace) override
    {
        if (fails_now(file_step::rename, current_file())) return EIO;
        return real.put_in_place(from, to, replace);
    }

    void remove(const char* name) override { real.remove(name); }

    uint32_t process_number() override { return real.process_number(); }

    void ignore_write_signals() override {}

    // Tests stop no run by a signal.
    void watch_temporary(const char*, bool) override {}

private:
    platform& real = system_platform();
};

}  // namespace

recorder_state& recorder()
{
    static recorder_state state;
    return state;
}

void reset_recorder() { recorder() = recorder_state{}; }

// Linking the stand-in puts it in place before main() begins.
static const bool recorder_in_place = [] {
    static recording_platform stand_in;
    put_platform_in_place(&stand_in);
    return true;
}();
