/* The shared library as a C program sees it: whether it has the keyed calls that need a key, as
   it was built (EXPECTED_KEYED). Exits 0 when it says so. */
#include <stdio.h>

#include "vorn.h"

int main(void)
{
    if (vorn_has_keyed() != EXPECTED_KEYED) {
        fprintf(stderr, "vorn_has_keyed() gives %d, built with %d\n", vorn_has_keyed(), EXPECTED_KEYED);
        return 1;
    }
    return 0;
}
