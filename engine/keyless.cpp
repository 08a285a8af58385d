// The answer of a library built without the calls that need a key (the static libvorn.a, which
// the three programs link, and a shared library built without libsodium). A library with them
// defines vorn_has_keyed() beside them instead (keyed_calls.cpp), never together with this.
#include "vorn.h"

int vorn_has_keyed(void) { return 0; }
