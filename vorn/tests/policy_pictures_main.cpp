// Writes the pictures of tests/policy/cases.tsv into a folder, for every front end's test.
//   vorn_policy_pictures FOLDER
#include <cstdio>

#include "policy_pictures.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorn_policy_pictures FOLDER\n");
        return 2;
    }
    write_policy_pictures(argv[1]);
    return 0;
}
