#include "coder.h"
#include "platform.h"

int main(int argc, char** argv)
{
    ignore_write_signals();
    return coder_main(argc, argv, coder_build::VORN_CODER_BUILD);
}
