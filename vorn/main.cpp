#include <csignal>
#include <iostream>

#include "vorn_main.h"

int main(int argc, char** argv)
{
    // Past a file-size limit a write should fail with its error, so that the temporary file is
    // removed and the message printed, rather than end the process on the spot.
    std::signal(SIGXFSZ, SIG_IGN);
    return vorn_main(argc, argv, std::cout, std::cerr);
}
