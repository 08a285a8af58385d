#include "filter.h"
#include "platform.h"

int main(int argc, char** argv)
{
    ignore_write_signals();
    return filter_main(argc, argv);
}
