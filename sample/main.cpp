// SPDX-License-Identifier: MIT
// kopc_sample DIR: writes the sample world (maps, NPC files, stand-in executables and a
// shape bitmap) into DIR, so kopc_map can be tried without the game.
#include "sample.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::puts("usage: kopc_sample DIR");
        return 1;
    }
    const int result = write_sample_data(argv[1]);
    std::fflush(stdout);
    return result == 0 ? 0 : 1;
}
