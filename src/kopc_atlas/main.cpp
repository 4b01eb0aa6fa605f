// SPDX-License-Identifier: MIT
// Program entry of kopc_atlas.
#include "atlas.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
    // As in kopc_map: the console shows UTF-8 while the program runs.
    const unsigned console_code_page = platform_console_utf8();
    const int status = kopc_atlas_main(argc, argv);
    platform_console_restore(console_code_page);
    return status;
}
