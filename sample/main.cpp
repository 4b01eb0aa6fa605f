// SPDX-License-Identifier: MIT
// kopc_sample DIR: writes the sample world (maps, NPC files, stand-in executables and a
// shape bitmap) into DIR, so kopc_map can be tried without the game. `--help` prints the
// usage; any other argument that begins with a hyphen is refused rather than taken for a
// folder name (`./-dir` names such a folder).
#include "sample.h"

#include <cstdio>
#include <cstring>

static void print_usage() {
    std::puts("usage: kopc_sample DIR");
    std::puts("writes the sample world (31 map files, 31 NPC files, KOEGA.EXE, KOGAME.EXE and");
    std::puts("the shape bitmaps) into the folder DIR, made if missing");
}

int main(int argc, char* argv[]) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        print_usage();
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc != 2 || argv[1][0] == '-') {
        if (argc == 2) {
            std::printf("error: unknown option '%s'\n", argv[1]);
        }
        print_usage();
        std::fflush(stdout);
        return 1;
    }
    const int result = write_sample_data(argv[1]);
    std::fflush(stdout);
    return result == 0 ? 0 : 1;
}
