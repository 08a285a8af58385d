// The reveal filter program: shows what a file carries in the low four bits of its raster bytes
// by moving them into the high four bits ("in_main.bmp" to "out.bmp"). A thin driver over the
// engine's vorn_reveal().
#pragma once

// The program's entry. Prints its messages, pauses (3000 ms after a failure, 30000 ms after
// success) and returns 0 on every path.
int filter_main(int argc, char** argv);
