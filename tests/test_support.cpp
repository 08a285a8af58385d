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

bytes encode_in_memory(coder_build build, const bytes& main, const std::optional<bytes>& hidden1,
                       const std::optional<bytes>& hidden2)
{
    // The library spends the rasters of the hidden pictures it stores: it gets copies.
    bytes h1 = hidden1.value_or(bytes{}), h2 = hidden2.value_or(bytes{});
    vorn_geometry g{};
    size_t work_size = 0;
    if (vorn_check_carrier(main.data(), main.size(), &g) != VORN_OK) return {};
    EXPECT_EQ(vorn_encode_work_size(&g, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    bytes coded = main;
    EXPECT_EQ(vorn_encode(coded.data(), coded.size(), hidden1 ? h1.data() : nullptr, h1.size(),
                          hidden2 ? h2.data() : nullptr, h2.size(), engine_build(build), work.data(), work_size,
                          nullptr),
              VORN_OK);
    return coded;
}

decoded_pair decode_in_memory(coder_build build, const bytes& coded)
{
    vorn_geometry g{};
    size_t work_size = 0;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK) return {};
    EXPECT_EQ(vorn_program_decode_work_size(&g, &work_size), VORN_OK);
    std::vector<uint8_t> work(work_size);
    decoded_pair d{bytes(coded.size()), bytes(coded.size())};
    EXPECT_EQ(vorn_program_decode(coded.data(), coded.size(), engine_build(build), d.first.data(),
                                  d.second.data(), work.data(), work_size),
              VORN_OK);
    return d;
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
