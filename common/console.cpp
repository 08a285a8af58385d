#include "console.h"

#include <string>

#include "platform.h"

void say(std::string_view text) { console_write(text); }

void say_geometry(int32_t width, int32_t height, int32_t offset_raster, int32_t string_length)
{
    say("width = " + std::to_string(width) + "\nheight = " + std::to_string(height) +
        "\noffset_raster = " + std::to_string(offset_raster) +
        "\nstring_length = " + std::to_string(string_length) + "\n");
}

void say_execution_time(int64_t milliseconds)
{
    say("Execution time: " + std::to_string(milliseconds) + " ms\r\n");
}
