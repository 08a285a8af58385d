// Console output of the programs: every text they print (the table in messages.h) goes out here.
#pragma once

#include <string_view>

void say(std::string_view text);
