#include "test_support.h"

#include <random>

#include "filter.h"

namespace fs = std::filesystem;

template <class Entry>
static run_result run_entry(Entry entry, const char* program, const std::vector<std::string>& args)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    recorder().console.clear();
    recorder().pauses.clear();
    EXPECT_EQ(entry(int(words.size()), argv.data()), 0);
    return {recorder().console, recorder().pauses};
}

run_result run_coder(coder_build build, const std::vector<std::string>& args)
{
    return run_entry([build](int argc, char** argv) { return coder_main(argc, argv, build); },
                     build_name(build), args);
}



run_result run_filter(const std::vector<std::string>& args)
{
    return run_entry(filter_main, "vornlens", args);
}

bool older_file_on_full_disk(const fs::path& name, int files_before)
{
    write_file(name, older_bytes);
    recorder().failing_step = file_step::write;
    recorder().failing_file = recorder().files_created + files_before;
    return true;
}

void scratch_test::SetUp()
{
    reset_recorder();
    previous = fs::current_path();
    // A name of its own: creating the folder fails when the name is taken, and another is drawn.
    std::random_device random;
    do folder = fs::temp_directory_path() / ("vorn-test-" + std::to_string(random()));
    while (!fs::create_directory(folder));
    exe_folder = folder / "exe";
    fs::create_directory(exe_folder);
    recorder().exe_folder = exe_folder.string();
    fs::current_path(folder);
}

void scratch_test::TearDown()
{
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    reset_recorder();
}
