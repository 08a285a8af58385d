#include "test_support.h"

#include <cstdlib>

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

void scratch_test::SetUp()
{
    reset_recorder();
    previous = fs::current_path();
    std::string name = (fs::temp_directory_path() / "vorn-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    folder = name;
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
