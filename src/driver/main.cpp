// SPDX-License-Identifier: MIT
// Program entry of kopc_map (also of its allocation-failure test build): the run, with
// a Windows console set up for UTF-8 text around it.
#include "driver/driver.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
    // kopc_map_main flushes standard output before it returns, so every line reaches the
    // console while it shows UTF-8; the console's own code page comes back before exit.
    const unsigned console_code_page = platform_console_utf8();
    const int status = kopc_map_main(argc, argv);
    platform_console_restore(console_code_page);
    return status;
}
