// Every text the three programs print, in one table, with its exact line ending. Texts that
// carry a value are functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace text {

// The coder's banners, and the first line of a run.
inline constexpr std::string_view banner_vornhold2 = "Vornhold 2\n";
inline constexpr std::string_view banner_vornhold = "Vornhold\n";
inline std::string loading_coder(const std::string& path) { return "Loading main file...\n" + path + "\n"; }
inline std::string loading_filter(const std::string& path) { return "Loading main file...\r\n" + path + "\r\n"; }

// The main picture.
inline constexpr std::string_view cannot_open_main = "Can't open main file!\n";
inline constexpr std::string_view main_not_supported = "Main file not supported!\n";
inline constexpr std::string_view main_corrupted = "Main file corrupted!\n";
inline std::string geometry(int32_t width, int32_t height, int32_t offset_raster, int32_t string_length)
{
    return "width = " + std::to_string(width) + "\nheight = " + std::to_string(height) +
           "\noffset_raster = " + std::to_string(offset_raster) +
           "\nstring_length = " + std::to_string(string_length) + "\n";
}

// Encoding. N is "1" or "2".
inline std::string loading_hidden(const char* n)
{
    return std::string("Loading hidden ") + n + " file...\r\nHidden " + n + ".bmp\r\n";
}
inline std::string cannot_open_hidden(const char* n) { return std::string("Can't open hidden ") + n + " file!\n"; }
inline std::string hidden_not_supported(const char* n) { return std::string("Hidden ") + n + " file not supported!\n"; }
inline std::string hidden_dithering(const char* n) { return std::string("Hidden ") + n + " dithering...\n"; }
inline std::string hidden_permutation(const char* n) { return std::string("Hidden ") + n + " permutation...\n"; }
inline std::string hidden_permutation_not_supported(const char* n)
{
    return std::string("Hidden ") + n + " file permutation not supported!\n";
}
inline constexpr std::string_view main_dithering = "Main dithering...\n";
inline constexpr std::string_view writing_file = "\nWriting file...\n";
inline constexpr std::string_view cannot_open_coded = "Can't open Coded.bmp for writing!\n";
inline constexpr std::string_view cannot_write_coded = "Can't write Coded.bmp!\n";

// Decoding.
inline constexpr std::string_view decoded_permutation = "Hidden file permutation...\n";
inline constexpr std::string_view decoded_permutation_not_supported = "Hidden file permutation not supported!\n";
inline constexpr std::string_view writing_files = "\nWriting file's...\n";

// The filter.
inline constexpr std::string_view applying_filter = "Applying filter...\n";

// Outputs of decoding and of the filter, and every program's end.
inline constexpr std::string_view cannot_open_output = "Can't open file for writing!\n";
inline constexpr std::string_view cannot_write_output = "Can't write file!\n";
inline constexpr std::string_view not_enough_memory = "Not enough memory!\n";
inline constexpr std::string_view done = "Done!\r\n";
inline std::string execution_time(int64_t milliseconds)
{
    return "Execution time: " + std::to_string(milliseconds) + " ms\r\n";
}

}  // namespace text
