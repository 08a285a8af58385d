#include "console.h"

#include "platform.h"

void say(std::string_view text) { console_write(text); }
