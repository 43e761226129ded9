// Runs the fuzz target over the seed corpus on every build.
#include "tests/fuzz/ReplayCorpus.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    const int count = replayCorpus(argc, argv);
    if (count < 0)
        return 1;
    std::printf("%d passed, 0 failed\n", count);
    return count > 0 ? 0 : 1;
}
