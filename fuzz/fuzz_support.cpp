#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "platform_recorder.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t failure_pause_ms = 3000;

// Memory-backed when the machine has it: every run writes and reads a few files.
fs::path make_scratch_folder()
{
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string name = (base / "vorn-fuzz-XXXXXX").string();
    if (!mkdtemp(name.data())) fault("cannot make a scratch folder");
    return name;
}

const fs::path& scratch_folder()
{
    // Never destroyed, so that the clean-up at exit can still find it.
    static const fs::path* const folder = [] {
        const fs::path* made = new fs::path(make_scratch_folder());
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(*folder, ignored);
        });
        return made;
    }();
    return *folder;
}

}  // namespace

scratch_visit::scratch_visit() : previous(fs::current_path().string())
{
    const fs::path& folder = scratch_folder();
    fs::current_path(folder);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
    reset_recorder();
    recorder().exe_folder = folder.string();
}

scratch_visit::~scratch_visit() { fs::current_path(previous); }

obstacle obstacle_from(uint8_t control, int shift)
{
    switch (control >> shift & 3) {
    case 1: return obstacle::folder;
    case 2: return obstacle::full_disk;
    case 3: return obstacle::fifo;
    default: return obstacle::none;
    }
}

void put_file(const char* name, const uint8_t* data, size_t size)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    if (!out) fault(std::string("cannot lay out ") + name);
}

void put_obstacle(const char* name, obstacle what, int files_before)
{
    if (what == obstacle::folder) fs::create_directory(name);
    if (what == obstacle::full_disk) {
        put_file(name, older_file.data(), older_file.size());
        recorder().failing_step = file_step::write;
        recorder().failing_file = recorder().files_created + files_before;
    }
    if (what == obstacle::fifo && mkfifo(name, 0600) != 0) fault(std::string("cannot make a FIFO ") + name);
}

bool entry_exists(const char* name) { return fs::exists(fs::symlink_status(name)); }

byte_string file_bytes(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return byte_string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

run_record run_entry(const std::function<int(int, char**)>& entry, const char* program,
                     const char* argument)
{
    std::string words[] = {program, argument};
    char* argv[] = {words[0].data(), words[1].data(), nullptr};
    if (entry(2, argv) != 0) fault("the entry returned another exit code than 0");
    return {recorder().console, recorder().pauses};
}

void fault(const std::string& what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

void expect(bool condition, const char* what)
{
    if (!condition) fault(what);
}

bool ends_with(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

void expect_end(const run_record& run, uint32_t success_pause, std::string_view failure)
{
    const std::string shown = "\n--- console ---\n" + run.console;
    if (run.pauses.size() != 1) fault("the run did not pause exactly once" + shown);
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::current_path()))
        if (entry.path().extension() == ".tmp") fault("a temporary file was left: " + entry.path().string());
    if (failure.empty()) {
        if (!ends_with(run.console, success_tail) || run.pauses[0] != success_pause)
            fault("expected a success end" + shown);
        return;
    }
    if (!ends_with(run.console, failure)) fault("expected the failure \"" + std::string(failure) + "\"" + shown);
    if (run.pauses[0] != failure_pause_ms) fault("a failure did not pause 3000 ms" + shown);
    if (run.console.find("Done!") != std::string::npos) fault("a failure printed Done!" + shown);
}
