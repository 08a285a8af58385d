// Times every program case on generated photograph-like pictures and compares each with the cost
// of a plain copy of the same files (the floor), and reports each case's peak resident memory.
// The library's encode, decode and reveal are timed too, on pictures already in memory (their
// floor: one copy of the picture in memory). Given a folder of photographs (Main, Hidden 1 and
// Hidden 2 as .png, .jpg and .bmp, as bench/photographs.py makes them), vorn's encode and decode
// are timed on them as well, beside their codec's floor: the inputs decoded and the outputs
// encoded with the same library and settings, and nothing else.
//
//   vorn_bench [side] [runs] [word] [photographs]
//                  defaults: 4096 pixels square, 5 runs, every case ("" for every case), no
//                  vorn cases; with a word, only the cases whose name contains it
//
// Every measurement runs in a forked child that calls the program's entry in-process with the
// recording platform (pauses are recorded, not slept), times the entry alone and hands the time
// back through a pipe; the parent reads the child's peak resident set from wait4. The parent
// itself stays small, so a child's peak is the program's own. Rounds interleave the cases, so
// a noisy machine spreads its noise evenly over them. Beside the time on the clock, each case's
// CPU time (user and system, every thread of the child) over the same part is given: where other
// work shares the cores, it moves less than the clock, though it cannot show what running side
// by side gains.
//
// Exit status 1 when a case fails, 2 when the program encoding with both hidden pictures needs
// more memory than its bound: the three file images, the library's few work rows and a few MiB
// for the process. Work buffers of the whole picture's size would break it.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "coder.h"
#include "file_image.h"
#include "filter.h"
#include "platform_recorder.h"
#include "synthetic_pictures.h"
#include "vorn.h"
#ifdef VORN_BENCH_VORN
#include "files.h"
#include "jpeg_reader.h"
#include "png_codec.h"
#include "png_deflate.h"
#include "vorn_main.h"
#endif

namespace fs = std::filesystem;

namespace {

constexpr double mib = 1024.0 * 1024.0;
// Room above the bound for the process itself: code, stack, stdio and the allocator.
constexpr double process_slack_bytes = 8 * mib;

// Set by a case that times only part of its work (the library cases leave loading out).
double part_ms = -1;
double part_cpu_ms = -1;
// Set by a codec floor: how long its decoding took, the rest being encoding and writing.
double decoding_ms = -1;

struct child_result {
    double ms = 0;
    double cpu_ms = 0;
    double decoding_ms = -1;
    double peak_bytes = 0;
    bool ok = false;
};

// The CPU time this process has taken so far, every thread's, user and system.
double process_cpu_ms()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Runs `work` in a forked child inside `folder`; the time covers `work` alone.
child_result in_child(const fs::path& folder, const std::function<bool()>& work)
{
    int channel[2];
    if (pipe(channel) != 0) return {};
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) return {};
    if (pid == 0) {
        close(channel[0]);
        struct {
            double ms;
            double cpu_ms;
            double decoding_ms;
            int ok;
        } report{0, 0, -1, 0};
        if (chdir(folder.c_str()) == 0) {
            const auto start = std::chrono::steady_clock::now();
            const double cpu_start = process_cpu_ms();
            report.ok = work() ? 1 : 0;
            report.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            report.cpu_ms = process_cpu_ms() - cpu_start;
            if (part_ms >= 0) report.ms = part_ms;
            if (part_cpu_ms >= 0) report.cpu_ms = part_cpu_ms;
            report.decoding_ms = decoding_ms;
        }
        const bool sent = write(channel[1], &report, sizeof report) == ssize_t(sizeof report);
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    struct {
        double ms;
        double cpu_ms;
        double decoding_ms;
        int ok;
    } report{0, 0, -1, 0};
    const bool received = read(channel[0], &report, sizeof report) == ssize_t(sizeof report);
    close(channel[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return {};
    const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return {report.ms, report.cpu_ms, report.decoding_ms, double(usage.ru_maxrss) * 1024.0,
            received && exited && report.ok != 0};
}

bool run_coder(coder_build build, bool decode)
{
    reset_recorder();
    char program[] = "vornhold";
    char coded[] = "Coded.bmp";
    char* argv[] = {program, decode ? coded : nullptr, nullptr};
    coder_main(decode ? 2 : 1, argv, build);
    return recorder().pauses == std::vector<uint32_t>{5000};
}

bool run_filter()
{
    reset_recorder();
    char program[] = "vornlens";
    char* argv[] = {program, nullptr};
    filter_main(1, argv);
    return recorder().pauses == std::vector<uint32_t>{30000};
}

// What a plain copy costs: the case's input files read whole, one output of the same size written,
// through the same loading, allocation and writing code the programs use.
bool plain_copy(const std::vector<std::string>& inputs)
{
    std::vector<file_image> images(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i)
        if (load_file(inputs[i], images[i]) != load_status::loaded) return false;
    return write_file_image("Floor.bmp", images[0].bytes.get(), images[0].length) == write_status::written;
}

// Times `call` alone, after the case's files have been loaded.
template <class Call>
bool timed(Call call)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = process_cpu_ms();
    const bool ok = call();
    part_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    part_cpu_ms = process_cpu_ms() - cpu_start;
    return ok;
}

std::vector<file_image> load_all(const std::vector<std::string>& names)
{
    std::vector<file_image> images(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        if (load_file(names[i], images[i]) != load_status::loaded) return {};
    return images;
}

// The library on memory: both hidden pictures hidden with vornhold2's rule, the coded picture
// decoded into two fresh images, the coded picture revealed into a fresh image.
bool library_encode()
{
    std::vector<file_image> in = load_all({"Main.bmp", "Hidden 1.bmp", "Hidden 2.bmp"});
    if (in.empty()) return false;
    const size_t n = in[0].length;
    vorn_geometry g{};
    size_t work_size = 0;
    if (vorn_check_carrier(in[0].bytes.get(), n, &g) != VORN_OK || vorn_encode_work_size(&g, &work_size) != VORN_OK)
        return false;
    owned_array<uint8_t> work = allocate_array<uint8_t>(work_size);
    return timed([&] {
        return vorn_encode(in[0].bytes.get(), n, in[1].bytes.get(), n, in[2].bytes.get(), n, VORN_VORNHOLD2,
                           work.get(), work_size, nullptr) == VORN_OK;
    });
}

bool library_decode()
{
    std::vector<file_image> in = load_all({"Coded.bmp"});
    if (in.empty()) return false;
    const size_t n = in[0].length;
    vorn_geometry g{};
    size_t work_size = 0;
    if (vorn_check_carrier(in[0].bytes.get(), n, &g) != VORN_OK || vorn_program_decode_work_size(&g, &work_size) != VORN_OK)
        return false;
    owned_array<uint8_t> work = allocate_array<uint8_t>(work_size);
    owned_array<uint8_t> first = allocate_array<uint8_t>(n), second = allocate_array<uint8_t>(n);
    return timed([&] {
        return vorn_program_decode(in[0].bytes.get(), n, VORN_VORNHOLD2, first.get(), second.get(), work.get(),
                                   work_size) == VORN_OK;
    });
}

// Both hidden pictures of the coded picture taken out on their own, one after the other: as
// their stored levels (vorn_extract) or reconstructed (vorn_reconstruct), which vorn decode runs
// by default, one thread per picture.
bool library_take_out(bool reconstructed)
{
    std::vector<file_image> in = load_all({"Coded.bmp"});
    if (in.empty()) return false;
    const size_t n = in[0].length;
    vorn_geometry g{};
    size_t work_size = 0;
    if (vorn_check_carrier(in[0].bytes.get(), n, &g) != VORN_OK || vorn_reconstruct_work_size(&g, &work_size) != VORN_OK)
        return false;
    owned_array<uint8_t> work = allocate_array<uint8_t>(work_size), out = allocate_array<uint8_t>(n);
    return timed([&] {
        for (int which = 1; which <= 2; ++which) {
            const vorn_error error =
                reconstructed ? vorn_reconstruct(in[0].bytes.get(), n, VORN_LAYOUT_BOTH_VORNHOLD2, which, out.get(), n,
                                                 work.get(), work_size)
                              : vorn_extract(in[0].bytes.get(), n, VORN_LAYOUT_BOTH_VORNHOLD2, which, out.get(), n);
            if (error != VORN_OK) return false;
        }
        return true;
    });
}

bool library_extract() { return library_take_out(false); }
bool library_reconstruct() { return library_take_out(true); }

bool library_reveal()
{
    std::vector<file_image> in = load_all({"in_main.bmp"});
    if (in.empty()) return false;
    owned_array<uint8_t> out = allocate_array<uint8_t>(in[0].length);
    return timed([&] { return vorn_reveal(in[0].bytes.get(), in[0].length, out.get(), in[0].length) == VORN_OK; });
}

// The floor of a library case: the picture copied once into fresh memory.
bool memory_copy(const std::vector<std::string>& inputs)
{
    std::vector<file_image> in = load_all({inputs[0]});
    if (in.empty()) return false;
    owned_array<uint8_t> copy = allocate_array<uint8_t>(in[0].length);
    return timed([&] {
        std::memcpy(copy.get(), in[0].bytes.get(), in[0].length);
        return copy[in[0].length / 2] == in[0].bytes[in[0].length / 2];
    });
}

#ifdef VORN_BENCH_VORN
// Set by a case that runs vorn on one thread: the value of --threads given to every run.
const char* threads_argument = nullptr;

// The vorn command in-process, as its main() would run it.
std::function<bool()> run_vorn(std::vector<std::string> arguments)
{
    return [arguments] {
        std::vector<std::string> words{"vorn"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        if (threads_argument) words.insert(words.end(), {"--threads", threads_argument});
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        std::ostringstream out, err;
        return vorn_main(int(words.size()), argv.data(), out, err) == 0;
    };
}

bool ends_with(const std::string& name, const std::string& end)
{
    return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
}

std::vector<uint8_t> file_bytes(const std::string& name)
{
    file_image image;
    if (load_file(name, image) != load_status::loaded) return {};
    return std::vector<uint8_t>(image.bytes.get(), image.bytes.get() + image.length);
}

// The floor of a vorn case: its inputs read and decoded and its outputs encoded and written
// with the codec vorn uses and its settings, one after another, and nothing else; a BMP is only
// read or written. Files are read as vorn reads them. The pixels to encode are those of the
// outputs vorn wrote in the warm-up ("Reference NAME"), decoded before the timed part.
bool codec_floor(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs, bool raw)
{
    std::vector<std::vector<uint8_t>> written(outputs.size());
    std::vector<rgb_picture> pictures(outputs.size());
    for (size_t i = 0; i < outputs.size(); ++i) {
        written[i] = file_bytes("Reference " + outputs[i]);
        if (written[i].empty()) return false;
        if (ends_with(outputs[i], ".png")) pictures[i] = read_png(written[i], outputs[i]);
    }
    bool ok = true;
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = process_cpu_ms();
    for (const std::string& name : inputs) {
        const std::vector<uint8_t> file = read_whole_file(name);
        if (ends_with(name, ".png")) ok = ok && read_png(file, name).width != 0;
        if (ends_with(name, ".jpg")) ok = ok && read_jpeg(file, name).width != 0;
    }
    decoding_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (!ends_with(outputs[i], ".png")) continue;
        const rgb_picture& picture = pictures[i];
        const png_settings& settings = outputs[i] == "Coded.png" ? coded_png_settings
                                       : raw                     ? decoded_png_settings
                                                                 : reconstructed_png_settings;
        written[i] = write_png(
            picture.width, picture.height,
            [&picture](uint32_t y, uint8_t*) { return picture.rgb.data() + size_t(y) * picture.width * 3; },
            outputs[i], settings);
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
        ok = ok && write_file_image(("Floor " + outputs[i]).c_str(), written[i].data(), uint32_t(written[i].size())) ==
                       write_status::written;
    }
    part_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    part_cpu_ms = process_cpu_ms() - cpu_start;
    return ok;
}
#endif

struct program_case {
    std::string name;
    std::string folder;               // inside the scratch folder
    std::vector<std::string> inputs;  // what the program reads: the floor reads the same
    std::vector<std::string> outputs;
    std::function<bool()> run;
    bool encodes_both = false;        // checked against the memory bound
    bool on_memory = false;           // a library case: its floor is a copy in memory
    bool on_codec = false;            // a vorn case: its floor is the codec's work
    bool raw = false;                 // a vorn decode of the raw levels, not reconstructed
    std::string same_as{};            // a vorn case on one thread: the case whose files it must write
};

bool floor_of(const program_case& c)
{
#ifdef VORN_BENCH_VORN
    if (c.on_codec) return codec_floor(c.inputs, c.outputs, c.raw);
#endif
    return c.on_memory ? memory_copy(c.inputs) : plain_copy(c.inputs);
}

struct case_samples {
    std::vector<double> times, floor_times, cpu_times, floor_cpu_times, floor_decoding_times;
    double peak_bytes = 0;
};

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

void print_load(const char* when)
{
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
}

void link_into(const fs::path& from, const fs::path& folder, const std::string& name)
{
    fs::create_directories(folder);
    fs::create_hard_link(from, folder / name);
}

}  // namespace

// The sizes of the vorn cases' outputs (from their last run) and the cases' ratios to the BMP
// path: vorn's own cost beside what the codecs must cost.
void report_vorn_cases(const std::vector<program_case>& cases, const std::vector<case_samples>& samples,
                       const fs::path& scratch, double carrier_bytes)
{
    double bmp_ms = 0, bmp_cpu_ms = 0, png_ms = 0, compact_ms = 0;
#ifdef VORN_BENCH_VORN
    if (!cases.empty() && cases.back().on_codec) std::printf("PNG image data deflated with %s\n", png_deflater_name());
#endif
    for (size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].name == "vorn encode PNG to PNG") png_ms = median(samples[i].times);
        if (cases[i].name == "vorn encode PNG to PNG, compact") compact_ms = median(samples[i].times);
        if (cases[i].name != "vorn encode BMP to BMP") continue;
        bmp_ms = median(samples[i].times);
        bmp_cpu_ms = median(samples[i].cpu_times);
    }
    // The compact form's cost beside the classic form's, both from PNG to PNG.
    if (png_ms > 0 && compact_ms > 0)
        std::printf("vorn encode PNG to PNG: compact %.1f ms, classic %.1f ms, %.2f x\n", compact_ms, png_ms,
                    compact_ms / png_ms);
    for (size_t i = 0; i < cases.size(); ++i) {
        const program_case& c = cases[i];
        if (!c.on_codec) continue;
        std::printf("%s:", c.name.c_str());
        for (const std::string& name : c.outputs) {
            std::error_code missing;
            const auto bytes = fs::file_size(scratch / c.folder / name, missing);
            std::printf(" %s %.0f bytes", name.c_str(), missing ? 0.0 : double(bytes));
        }
        if (bmp_ms > 0 && bmp_cpu_ms > 0)
            std::printf(", %.2f x vorn encode BMP to BMP (CPU time %.2f x)", median(samples[i].times) / bmp_ms,
                        median(samples[i].cpu_times) / bmp_cpu_ms);
        std::printf(", peak %.2f x the carrier's BMP\n", samples[i].peak_bytes / carrier_bytes);
        // The floor on two cores: its decoding, then its encoding and writing, each shared by two
        // cores where it is of two or more pictures (a picture's own decoding or encoding is
        // one thread's work), one after the other (the coded picture's rows are encoded from the
        // top, which the engine finishes last).
        const double floor_ms = median(samples[i].floor_times), decoding = median(samples[i].floor_decoding_times);
        if (samples[i].floor_decoding_times.empty() || bmp_ms <= 0) continue;
        const double encoding = floor_ms - decoding;
        const double two_cores = decoding / (c.inputs.size() > 1 ? 2 : 1) + encoding / (c.outputs.size() > 1 ? 2 : 1);
        std::printf("  codec floor: decoding %.1f ms, encoding and writing %.1f ms; on two cores at least %.1f ms,"
                    " %.2f x vorn encode BMP to BMP\n",
                    decoding, encoding, two_cores, two_cores / bmp_ms);
    }
}

int main(int argc, char** argv)
{
    const int32_t side = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4096;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string only = argc > 3 ? argv[3] : "";
    const std::string photographs = argc > 4 ? argv[4] : "";
    std::string scratch_name = (fs::temp_directory_path() / "vorn-bench-XXXXXX").string();
    if (!mkdtemp(scratch_name.data())) {
        std::perror("scratch folder");
        return 1;
    }
    const fs::path scratch = scratch_name;
    print_load("at start");

    // The pictures are made in a child so that the parent never holds them.
    const fs::path both = scratch / "both";
    fs::create_directories(both);
    const bool generated = in_child(both, [side] {
        save("Main.bmp", synthetic_bmp(side, side, 1));
        save("Hidden 1.bmp", synthetic_bmp(side, side, 2));
        save("Hidden 2.bmp", synthetic_bmp(side, side, 3));
        return true;
    }).ok;
    link_into(both / "Main.bmp", scratch / "hidden1", "Main.bmp");
    link_into(both / "Hidden 1.bmp", scratch / "hidden1", "Hidden 1.bmp");
    link_into(both / "Main.bmp", scratch / "hidden2", "Main.bmp");
    link_into(both / "Hidden 2.bmp", scratch / "hidden2", "Hidden 2.bmp");
    link_into(both / "Main.bmp", scratch / "none", "Main.bmp");
    // Each build decodes what it encoded; the filter reveals vornhold2's coded picture.
    for (coder_build build : {coder_build::vornhold2, coder_build::vornhold}) {
        const std::string name = build == coder_build::vornhold2 ? "decode2" : "decode";
        const bool encoded = generated && in_child(both, [build] { return run_coder(build, false); }).ok;
        if (!encoded) {
            std::fprintf(stderr, "could not prepare the pictures in %s\n", scratch.c_str());
            return 1;
        }
        fs::create_directories(scratch / name);
        fs::rename(both / "Coded.bmp", scratch / name / "Coded.bmp");
    }
    link_into(scratch / "decode2" / "Coded.bmp", scratch / "filter", "in_main.bmp");
    const double file_bytes = double(fs::file_size(both / "Main.bmp"));
    const double raster_bytes = file_bytes - 54;

    const std::vector<std::string> main_only{"Main.bmp"};
    const std::vector<std::string> both_hidden{"Main.bmp", "Hidden 1.bmp", "Hidden 2.bmp"};
    const std::vector<std::string> coded{"Coded.bmp"};
    const std::vector<std::string> decoded{"Decoded_1.bmp", "Decoded_2.bmp"};
    const auto encode = [](coder_build b) { return [b] { return run_coder(b, false); }; };
    const auto decode = [](coder_build b) { return [b] { return run_coder(b, true); }; };
    std::vector<program_case> cases{
        {"encode both hidden   vornhold2", "both", both_hidden, coded, encode(coder_build::vornhold2), true},
        {"encode both hidden   vornhold ", "both", both_hidden, coded, encode(coder_build::vornhold), true},
        {"encode hidden 1 only vornhold2", "hidden1", {"Main.bmp", "Hidden 1.bmp"}, coded, encode(coder_build::vornhold2)},
        {"encode hidden 1 only vornhold ", "hidden1", {"Main.bmp", "Hidden 1.bmp"}, coded, encode(coder_build::vornhold)},
        {"encode hidden 2 only vornhold2", "hidden2", {"Main.bmp", "Hidden 2.bmp"}, coded, encode(coder_build::vornhold2)},
        {"encode hidden 2 only vornhold ", "hidden2", {"Main.bmp", "Hidden 2.bmp"}, coded, encode(coder_build::vornhold)},
        {"encode no hidden     vornhold2", "none", main_only, coded, encode(coder_build::vornhold2)},
        {"encode no hidden     vornhold ", "none", main_only, coded, encode(coder_build::vornhold)},
        {"decode               vornhold2", "decode2", coded, decoded, decode(coder_build::vornhold2)},
        {"decode               vornhold ", "decode", coded, decoded, decode(coder_build::vornhold)},
        {"reveal filter        vornlens ", "filter", {"in_main.bmp"}, {"out.bmp"}, run_filter},
        {"library encode both  vornhold2", "both", both_hidden, {}, library_encode, false, true},
        {"library decode       vornhold2", "decode2", coded, {}, library_decode, false, true},
        {"library extract both          ", "decode2", coded, {}, library_extract, false, true},
        {"library reconstruct both      ", "decode2", coded, {}, library_reconstruct, false, true},
        {"library reveal               ", "filter", {"in_main.bmp"}, {}, library_reveal, false, true},
    };
#ifdef VORN_BENCH_VORN
    // vorn on the photographs: each format's three pictures in a folder of their own, and the
    // pictures coded from the PNGs and from the BMPs decoded to their two PNGs.
    if (!photographs.empty()) {
        const std::vector<std::string> pictures{"Main", "Hidden 1", "Hidden 2"};
        const auto inputs = [&pictures](const std::string& extension) {
            std::vector<std::string> names;
            for (const std::string& name : pictures) names.push_back(name + extension);
            return names;
        };
        // The classic form, which the programs' cases compare with, and the compact form.
        const auto encode_vorn = [](const std::string& extension, const std::string& output, bool compact = false) {
            std::vector<std::string> arguments{"encode", "Main" + extension, "--hidden1", "Hidden 1" + extension,
                                               "--hidden2", "Hidden 2" + extension, "-o", output};
            if (!compact) arguments.push_back("--classic");
            return run_vorn(arguments);
        };
        const std::vector<std::string> hidden_pngs{"hidden-1.png", "hidden-2.png"};
        const auto on_one_thread = [](std::function<bool()> run) {
            return [run] {
                threads_argument = "1";
                return run();
            };
        };
        std::vector<program_case> vorn_cases{
            {"vorn encode PNG to PNG", "vorn-png", inputs(".png"), {"Coded.png"}, encode_vorn(".png", "Coded.png")},
            {"vorn encode PNG --threads 1", "vorn-png-1", inputs(".png"), {"Coded.png"},
             on_one_thread(encode_vorn(".png", "Coded.png"))},
            {"vorn encode JPEG to PNG", "vorn-jpeg", inputs(".jpg"), {"Coded.png"}, encode_vorn(".jpg", "Coded.png")},
            {"vorn encode BMP to BMP", "vorn-bmp", inputs(".bmp"), {"Coded.bmp"}, encode_vorn(".bmp", "Coded.bmp")},
            {"vorn decode PNG to PNGs", "vorn-decode-png", {"Coded.png"}, hidden_pngs, run_vorn({"decode", "Coded.png"})},
            {"vorn decode PNG --threads 1", "vorn-decode-png-1", {"Coded.png"}, hidden_pngs,
             on_one_thread(run_vorn({"decode", "Coded.png"}))},
            {"vorn decode BMP to PNGs", "vorn-decode-bmp", {"Coded.bmp"}, hidden_pngs, run_vorn({"decode", "Coded.bmp"})},
            {"vorn decode PNG to PNGs --raw", "vorn-decode-raw", {"Coded.png"}, hidden_pngs,
             run_vorn({"decode", "Coded.png", "--raw"})},
            {"vorn encode PNG to PNG, compact", "vorn-compact", inputs(".png"), {"Coded.png"},
             encode_vorn(".png", "Coded.png", true)},
            {"vorn decode compact PNG to PNGs", "vorn-decode-compact", {"Coded.png"}, hidden_pngs,
             run_vorn({"decode", "Coded.png"})},
        };
        vorn_cases[1].same_as = "vorn-png";
        vorn_cases[5].same_as = "vorn-decode-png";
        for (program_case& c : vorn_cases) {
            c.on_codec = true;
            c.raw = c.name.find("--raw") != std::string::npos;
            if (c.name.find(" encode ") == std::string::npos) continue;
            for (const std::string& name : c.inputs) link_into(fs::path(photographs) / name, scratch / c.folder, name);
        }
        // Each case runs once here: its outputs are the floor's pictures to encode, and the
        // coded pictures are the decode cases' inputs.
        for (program_case& c : vorn_cases) {
            if (c.name.find(" decode ") != std::string::npos) {
                const std::string from = c.folder == "vorn-decode-compact" ? "vorn-compact"
                                         : c.inputs[0] == "Coded.png"      ? "vorn-png"
                                                                           : "vorn-bmp";
                link_into(scratch / from / ("Reference " + c.inputs[0]), scratch / c.folder, c.inputs[0]);
            }
            if (!in_child(scratch / c.folder, c.run).ok) {
                std::fprintf(stderr, "%s failed in %s\n", c.name.c_str(), (scratch / c.folder).c_str());
                return 1;
            }
            for (const std::string& name : c.outputs)
                fs::rename(scratch / c.folder / name, scratch / c.folder / ("Reference " + name));
            // One thread writes the very files that every thread writes.
            for (const std::string& name : c.outputs) {
                if (c.same_as.empty()) continue;
                const bool same = ::file_bytes((scratch / c.folder / ("Reference " + name)).string()) ==
                                  ::file_bytes((scratch / c.same_as / ("Reference " + name)).string());
                std::printf("%s: %s %s\n", c.name.c_str(), name.c_str(),
                            same ? "the same bytes as on every thread" : "** DIFFERS FROM EVERY THREAD'S **");
                if (!same) return 1;
            }
        }
        cases.insert(cases.end(), vorn_cases.begin(), vorn_cases.end());
    }
#else
    if (!photographs.empty()) std::fprintf(stderr, "vorn is not built here: its cases are left out\n");
#endif

    // Before each measurement the outputs of earlier runs are removed and the file system is
    // synced, outside the timed part: replacing a file whose pages are still being written back
    // waits for the disk, and that wait belongs to no program.
    std::erase_if(cases, [&only](const program_case& c) { return c.name.find(only) == std::string::npos; });

    // Memory is warmed the same way: on a virtual machine, memory that no process has touched
    // for a while can cost the host's faults on top of the kernel's, which would charge whichever
    // run happens to need more memory than the one before it. A child touches more than any case
    // needs and gives it back, so every run starts from memory in use.
    const size_t warm_bytes = size_t(4 * file_bytes);
    const auto settle = [&](const fs::path& folder, const std::vector<std::string>& outputs) {
        fs::remove(folder / "Floor.bmp");
        for (const std::string& name : outputs) {
            fs::remove(folder / name);
            fs::remove(folder / ("Floor " + name));
        }
        const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (descriptor >= 0) {
            syncfs(descriptor);
            close(descriptor);
        }
        in_child(folder, [warm_bytes] {
            owned_array<uint8_t> block = allocate_array<uint8_t>(warm_bytes);
            if (block) std::memset(block.get(), 1, warm_bytes);
            return bool(block);
        });
    };

    // The first round is a warm-up: it brings every file into the page cache and is not counted.
    const child_result idle = in_child(scratch, [] { return true; });
    std::vector<case_samples> samples(cases.size());
    bool all_ok = true;
    for (int round = 0; round <= runs; ++round) {
        for (size_t i = 0; i < cases.size(); ++i) {
            const program_case& c = cases[i];
            case_samples& s = samples[i];
            const fs::path folder = scratch / c.folder;
            settle(folder, c.outputs);
            const child_result floor =
                in_child(folder, [&c] { return floor_of(c); });
            settle(folder, c.outputs);
            const child_result program = in_child(folder, c.run);
            if (!floor.ok || !program.ok) {
                std::fprintf(stderr, "%s failed\n", c.name.c_str());
                all_ok = false;
            }
            if (round == 0) continue;
            s.floor_times.push_back(floor.ms);
            s.times.push_back(program.ms);
            s.floor_cpu_times.push_back(floor.cpu_ms);
            if (floor.decoding_ms >= 0) s.floor_decoding_times.push_back(floor.decoding_ms);
            s.cpu_times.push_back(program.cpu_ms);
            s.peak_bytes = std::max(s.peak_bytes, program.peak_bytes);
        }
    }

    std::printf("%dx%d pictures, file size %.1f MiB, median of %d runs\n", side, side, file_bytes / mib, runs);
    std::printf("floor: the case's input files read whole and one output of the same size written;\n"
                "for vorn cases the codec's work alone, one step after another: the inputs read and\n"
                "decoded, the outputs encoded and written. CPU ms: user and system time, all threads\n");
    std::printf("%-31s %8s %8s %7s %8s %8s %7s %9s %7s\n", "case", "ms", "floor ms", "x floor", "CPU ms",
                "floor", "x floor", "peak MiB", "x file");
    // Three file images and the library's work rows: 9 bytes per byte of a row.
    const double bound = 3 * file_bytes + 9.0 * (raster_bytes / side) + process_slack_bytes;
    bool within_bound = true;
    std::string memory_report;
    for (size_t i = 0; i < cases.size(); ++i) {
        const program_case& c = cases[i];
        const case_samples& s = samples[i];
        const double ms = median(s.times), floor_ms = median(s.floor_times);
        const double cpu_ms = median(s.cpu_times), floor_cpu_ms = median(s.floor_cpu_times);
        std::printf("%-31s %8.1f %8.1f %7.2f %8.1f %8.1f %7.2f %9.1f %7.2f\n", c.name.c_str(), ms, floor_ms,
                    floor_ms > 0 ? ms / floor_ms : 0.0, cpu_ms, floor_cpu_ms,
                    floor_cpu_ms > 0 ? cpu_ms / floor_cpu_ms : 0.0, s.peak_bytes / mib, s.peak_bytes / file_bytes);
        if (!c.encodes_both) continue;
        const bool within = s.peak_bytes <= bound;
        within_bound = within_bound && within;
        char line[160];
        std::snprintf(line, sizeof line, "%s: peak %.1f MiB, %s\n", c.name.c_str(), s.peak_bytes / mib,
                      within ? "within the bound" : "** EXCEEDS THE BOUND **");
        memory_report += line;
    }
    std::printf("memory bound of encoding with both hidden pictures: %.1f MiB (three file images,\n"
                "the work rows and %.0f MiB for the process)\n%s",
                bound / mib, process_slack_bytes / mib, memory_report.c_str());
    std::printf("an idle child's peak (the process itself): %.1f MiB\n", idle.peak_bytes / mib);
    report_vorn_cases(cases, samples, scratch, file_bytes);
    print_load("at end");
    fs::remove_all(scratch);
    if (!all_ok) return 1;
    return within_bound ? 0 : 2;
}
