// What the fuzz targets share: a scratch folder that is the current directory of every run, the
// files one run finds there, and the checks that a run ended the way the programs promise.
//
// Each target defines LLVMFuzzerTestOneInput. Built with libFuzzer it is fuzzed; built with
// replay_main.cpp it runs once over every file of a corpus, so the corpus doubles as a
// regression suite. A broken promise stops the process with a message (fault), which libFuzzer
// records as a finding and the replay reports as a failed test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using byte_string = std::vector<uint8_t>;

// For its lifetime, the current directory is the scratch folder (made on first use), emptied on
// entry, which is also where the recording set_working_folder goes; the recorder starts afresh.
// The folder the process was in comes back at the end, so that libFuzzer's relative paths work.
class scratch_visit {
public:
    scratch_visit();
    ~scratch_visit();
    scratch_visit(const scratch_visit&) = delete;
    scratch_visit& operator=(const scratch_visit&) = delete;

private:
    std::string previous;
};

// What stands at an output's name before the run: nothing, a folder (cannot be replaced), an
// older file (older_file) on a disk that fills up while the output is written (the stand-in
// fails the write, so the older file must stay as it was) or a FIFO (opening it would wait for a
// reader, so the programs must refuse it).
enum class obstacle { none, folder, full_disk, fifo };

inline const byte_string older_file{'B', 'M', 'o', 'l', 'd'};

// Two bits of a control byte, taken from bit `shift` on.
obstacle obstacle_from(uint8_t control, int shift);

void put_file(const char* name, const uint8_t* data, size_t size);
// For full_disk, the write fails for the next output file created, or the one after
// `files_before` more.
void put_obstacle(const char* name, obstacle what, int files_before = 0);

bool entry_exists(const char* name);  // a file, folder or link, even a dangling one
byte_string file_bytes(const char* name);

struct run_record {
    std::string console;
    std::vector<uint32_t> pauses;
};

// Runs a program entry with one argument after the program's name, as a user would.
run_record run_entry(const std::function<int(int, char**)>& entry, const char* program,
                     const char* argument);

[[noreturn]] void fault(const std::string& what);
void expect(bool condition, const char* what);

bool ends_with(std::string_view text, std::string_view tail);

// Every run pauses once. It pauses `success_pause` exactly when the console ends with the success
// lines; otherwise it pauses 3000 ms, its last message is `failure` and it printed no "Done!".
// No run, whatever its end, leaves a temporary file behind.
void expect_end(const run_record& run, uint32_t success_pause, std::string_view failure);

// The success lines with the recorder's still clock.
inline constexpr std::string_view success_tail = "Done!\r\nExecution time: 0 ms\r\n";
