#include "filter.h"

int main(int argc, char** argv) { return filter_main(argc, argv); }
