#include "coder.h"

int main(int argc, char** argv) { return coder_main(argc, argv, coder_build::VORN_CODER_BUILD); }
