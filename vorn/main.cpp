#include <iostream>

#include "platform.h"
#include "vorn_main.h"

int main(int argc, char** argv)
{
    // Past a file-size limit or into a closed pipe, a write fails with its error, so that the
    // temporary file is removed and the message printed, rather than end the process on the spot.
    ignore_write_signals();
    return vorn_main(argc, argv, std::cout, std::cerr);
}
