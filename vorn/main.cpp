#include <iostream>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "platform.h"
#include "vorn_main.h"

int main(int argc, char** argv)
{
    // Past a file-size limit or into a closed pipe, a write fails with its error, so that the
    // temporary file is removed and the message printed, rather than end the process on the spot.
    ignore_write_signals();
#if defined(_WIN32)
    // A picture read from standard input or written to standard output is bytes, not text.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return vorn_main(argc, argv, std::cout, std::cerr);
}
