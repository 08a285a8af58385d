// Console messages. Every text the programs print goes through here.
#pragma once

#include <cstdint>
#include <string_view>

void say(std::string_view text);

// "width = %i\nheight = %i\noffset_raster = %i\nstring_length = %i\n", each value a signed decimal.
void say_geometry(int32_t width, int32_t height, int32_t offset_raster, int32_t string_length);

// "Execution time: <ms> ms\r\n".
void say_execution_time(int64_t milliseconds);
