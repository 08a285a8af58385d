// vorn_keyed_fixture: the native library's keyed form for the page's browser tests and for the
// key derivation's benchmark (scripts/web-test.sh --bench-key). Not a test itself.
//   vorn_keyed_fixture encode LAYOUT SALT CARRIER HIDDEN1|- HIDDEN2|- OUT
//       keys CARRIER (a BMP the library accepts, taken by its pixels as vorn and the page take a
//       keyed carrier) with the hidden BMPs given, in layout LAYOUT (1 to 5, as vorn_layout),
//       under the password on the first line of standard input (its bytes as they are) and the
//       salt SALT (32 hex digits), at the format's cost, and writes the keyed picture to OUT.
//   vorn_keyed_fixture time RUNS
//       keys a 64 x 64 picture RUNS times at the format's cost, where deriving the key is nearly
//       all the work, and prints the median wall-clock and processor times.
// Exit status 0 when done, 1 with a message on stderr otherwise.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "keyed_testing.h"
#include "vorn.h"

namespace {

using bytes = std::vector<uint8_t>;

bool fail(const std::string& text)
{
    std::cerr << "vorn_keyed_fixture: " << text << "\n";
    return false;
}

bool read_file(const std::string& path, bytes& content)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return fail(path + ": cannot be read");
    content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

bool salt_of(const std::string& hex, uint8_t (&salt)[VORN_KEYED_SALT_BYTES])
{
    if (hex.size() != 2 * VORN_KEYED_SALT_BYTES) return fail("the salt must be 32 hex digits");
    for (size_t i = 0; i < VORN_KEYED_SALT_BYTES; ++i) {
        unsigned value = 0;
        if (std::sscanf(hex.c_str() + 2 * i, "%2x", &value) != 1) return fail("the salt must be 32 hex digits");
        salt[i] = uint8_t(value);
    }
    return true;
}

// The picture as the 24-bit BMP of its pixels, the form a keyed carrier is taken in.
bool by_pixels(bytes& image)
{
    vorn_geometry g{};
    size_t rgb_length = 0, length = 0;
    if (vorn_check_carrier(image.data(), image.size(), &g) != VORN_OK || vorn_rgb_length(&g, &rgb_length) != VORN_OK ||
        vorn_bmp_length(g.width, g.height, &length) != VORN_OK)
        return fail("the carrier is not a BMP the library accepts");
    bytes rgb(rgb_length), framed(length);
    vorn_bmp_to_rgb(image.data(), image.size(), rgb.data(), rgb.size());
    vorn_bmp_from_rgb(rgb.data(), g.width, g.height, size_t(g.width) * 3, 3, framed.data(), framed.size());
    image.swap(framed);
    return true;
}

vorn_error key(bytes& carrier, bytes* hidden1, bytes* hidden2, vorn_layout layout, const std::string& password,
               const uint8_t* salt)
{
    vorn_geometry g{};
    size_t work_size = 0;
    vorn_error error = vorn_check_carrier(carrier.data(), carrier.size(), &g);
    if (error == VORN_OK) error = vorn_keyed_work_size(&g, &work_size);
    if (error != VORN_OK) return error;
    std::vector<uint8_t> work(work_size);
    return vorn_testing_keyed_encode(carrier.data(), carrier.size(), hidden1 ? hidden1->data() : nullptr,
                                     hidden1 ? hidden1->size() : 0, hidden2 ? hidden2->data() : nullptr,
                                     hidden2 ? hidden2->size() : 0, layout, password.data(), password.size(),
                                     salt, VORN_TESTING_KEY_FORMAT, work.data(), work_size);
}

bool encode(char** argv)
{
    const int layout = std::atoi(argv[0]);
    uint8_t salt[VORN_KEYED_SALT_BYTES];
    bytes carrier, hidden[2];
    if (!salt_of(argv[1], salt) || !read_file(argv[2], carrier) || !by_pixels(carrier)) return false;
    for (int which = 0; which < 2; ++which)
        if (std::string(argv[3 + which]) != "-" && !read_file(argv[3 + which], hidden[which])) return false;
    std::string password;
    std::getline(std::cin, password);
    const vorn_error error = key(carrier, hidden[0].empty() ? nullptr : &hidden[0],
                                 hidden[1].empty() ? nullptr : &hidden[1], vorn_layout(layout), password, salt);
    if (error != VORN_OK) return fail(vorn_strerror(error));
    std::ofstream out(argv[5], std::ios::binary);
    out.write(reinterpret_cast<const char*>(carrier.data()), std::streamsize(carrier.size()));
    out.close();
    return out ? true : fail(std::string(argv[5]) + ": cannot be written");
}

bool time_key(int runs)
{
    if (runs < 1) return fail("give at least one run");
    size_t length = 0;
    vorn_bmp_length(64, 64, &length);
    bytes rgb(64 * 64 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
    std::vector<double> wall, processor;
    for (int run = 0; run < runs; ++run) {
        bytes carrier(length), hidden(length);
        vorn_bmp_from_rgb(rgb.data(), 64, 64, 64 * 3, 3, carrier.data(), length);
        vorn_bmp_from_rgb(rgb.data(), 64, 64, 64 * 3, 3, hidden.data(), length);
        const auto started = std::chrono::steady_clock::now();
        const std::clock_t started_processor = std::clock();
        // A salt drawn for every run, as vorn_keyed_encode() draws it.
        const vorn_error error = key(carrier, nullptr, &hidden, VORN_LAYOUT_HIDDEN2_VORNHOLD2, "password", nullptr);
        processor.push_back(double(std::clock() - started_processor) * 1000.0 / CLOCKS_PER_SEC);
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
        if (error != VORN_OK) return fail(vorn_strerror(error));
    }
    std::sort(wall.begin(), wall.end());
    std::sort(processor.begin(), processor.end());
    std::printf("native: median of %d runs: %.0f ms wall-clock, %.0f ms processor time\n", runs,
                wall[wall.size() / 2], processor[processor.size() / 2]);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    bool done;
    if (mode == "encode" && argc == 8)
        done = encode(argv + 2);
    else if (mode == "time" && argc == 3)
        done = time_key(std::atoi(argv[2]));
    else
        done = fail("usage: vorn_keyed_fixture encode LAYOUT SALT CARRIER HIDDEN1|- HIDDEN2|- OUT | time RUNS");
    return done ? 0 : 1;
}
