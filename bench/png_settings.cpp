// Times vorn's PNG writer on given PNG files under every setting worth weighing: zlib's strategy
// and level and libspng's row filters. Each file is decoded once and encoded again under each
// setting, the settings taking turns in every round so that a busy machine's noise falls on all
// of them alike; the table gives the median time on the clock and in CPU time (the writer's
// thread alone, steadier where other work shares the cores), the CPU time vorn's reader takes to
// decode the file written (a coded picture is read again by every decode), the size, and the
// size against the first row.
//
//   vorn_png_settings [runs] FILE.png...   default 3 runs
//
// The files to give are the pictures vorn writes (a coded picture, the pictures decoded from
// it): what suits them decides coded_png_settings and decoded_png_settings.
#include <zlib.h>

#include <spng.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <cstring>
#include <vector>

#include "png_codec.h"
#include "png_deflate.h"

namespace {

struct named_setting {
    const char* name;
    png_settings settings;
};

std::vector<named_setting> settings_to_weigh()
{
    const struct {
        const char* name;
        int value;
    } filters[] = {{"none", SPNG_FILTER_CHOICE_NONE}, {"sub", SPNG_FILTER_CHOICE_SUB},
                   {"up", SPNG_FILTER_CHOICE_UP}, {"paeth", SPNG_FILTER_CHOICE_PAETH},
                   {"all", SPNG_FILTER_CHOICE_ALL}};
    static std::vector<std::string> names;  // outlives the table's pointers
    names.clear();
    names.reserve(64);
    std::vector<named_setting> table;
    const auto add = [&](const std::string& name, png_settings settings) {
        names.push_back(name);
        table.push_back({names.back().c_str(), settings});
    };
    // Huffman-only and run-length coding do not search for matches: the level changes nothing.
    // Where ISA-L deflates vorn's pieces (no filter or up), zlib's settings change nothing there,
    // and ISA-L's history limit is weighed instead.
    const bool isal = std::strcmp(png_deflater_name(), "ISA-L") == 0;
    for (const auto& filter : filters) {
        const bool pieces = filter.value == SPNG_FILTER_CHOICE_NONE || filter.value == SPNG_FILTER_CHOICE_UP;
        if (isal && pieces) {
            for (int bits : {1, 4, 8, 12, 15})
                add("isal hist " + std::to_string(bits) + " " + filter.name, {1, Z_DEFAULT_STRATEGY, filter.value, bits});
            continue;
        }
        add(std::string("huffman   1 ") + filter.name, {1, Z_HUFFMAN_ONLY, filter.value, 15});
        add(std::string("rle       1 ") + filter.name, {1, Z_RLE, filter.value, 15});
        for (int level : {1, 3, 6}) {
            add("default   " + std::to_string(level) + " " + filter.name, {level, Z_DEFAULT_STRATEGY, filter.value, 15});
            add("filtered  " + std::to_string(level) + " " + filter.name, {level, Z_FILTERED, filter.value, 15});
        }
    }
    std::stable_sort(table.begin(), table.end(),
                     [](const named_setting& a, const named_setting& b) { return a.settings.strategy < b.settings.strategy; });
    return table;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double thread_cpu_ms()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1;
    int runs = 3;
    if (argc > 1 && std::atoi(argv[1]) > 0) {
        runs = std::atoi(argv[1]);
        first = 2;
    }
    const std::vector<named_setting> table = settings_to_weigh();
    for (int i = first; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (bytes.empty()) {
            std::fprintf(stderr, "%s: cannot read it\n", argv[i]);
            return 1;
        }
        const rgb_picture picture = read_png(bytes, argv[i]);
        const size_t row_bytes = size_t(picture.width) * 3;
        const png_row_maker rows = [&picture, row_bytes](uint32_t y, uint8_t*) {
            return picture.rgb.data() + y * row_bytes;
        };
        std::vector<std::vector<double>> times(table.size()), cpu_times(table.size()), read_times(table.size());
        std::vector<size_t> sizes(table.size());
        for (int run = 0; run < runs; ++run) {
            for (size_t r = 0; r < table.size(); ++r) {
                const auto start = std::chrono::steady_clock::now();
                const double cpu_start = thread_cpu_ms();
                const std::vector<uint8_t> written = write_png(picture.width, picture.height, rows, argv[i], table[r].settings);
                cpu_times[r].push_back(thread_cpu_ms() - cpu_start);
                times[r].push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
                sizes[r] = written.size();
                const double read_start = thread_cpu_ms();
                read_png(written, argv[i], read_limits(), pixel_layout::coder_image);
                read_times[r].push_back(thread_cpu_ms() - read_start);
            }
        }
        std::printf("%s: %ux%u, median of %d runs\n%-22s %9s %9s %9s %12s %8s\n", argv[i], picture.width,
                    picture.height, runs, "strategy level filter", "ms", "CPU ms", "read CPU", "bytes", "x first");
        for (size_t r = 0; r < table.size(); ++r)
            std::printf("%-22s %9.0f %9.0f %9.0f %12zu %8.3f\n", table[r].name, median(times[r]), median(cpu_times[r]),
                        median(read_times[r]), sizes[r], double(sizes[r]) / double(sizes[0]));
        std::fflush(stdout);
    }
    return 0;
}
