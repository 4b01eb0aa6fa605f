// SPDX-License-Identifier: MIT
// kopc_map (also its allocation-failure test build): the run's inputs, then every map of
// the catalogue drawn, reported and saved as a BMP in the current folder, in catalogue
// order. The first failure ends the run; files already written stay.
#include "platform/platform.h"
#include "render/render.h"
#include "run/run.h"

#include <cstdio>

static const char fmt_write_file[] = "error: write bitmap file '%s'\n";
static const char* const kopc_map_notes[] = {
    "read map data from current directory if not specified",
};
static const RunProgram kopc_map_program = {"kopc_map", run_options_map, "overwrite output files",
                                            kopc_map_notes, 1};

namespace {

int run_kopc_map(const RunOptions& options) {
    RunInputs inputs;
    if (load_run_inputs(options, &inputs) != 0) {
        return 1;
    }
    for (int i = 0; i < map_count; ++i) {
        MapReport report;
        draw_run_map(options, &inputs, i, &report);
        const char* file = map_catalogue[i].output_file;
        if (save_map_image(file, inputs.image, options.overwrite) != 0) {
            std::printf(fmt_write_file, file);
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // The console shows UTF-8 while the program runs; standard output is flushed before
    // the console's own code page comes back, so every line reaches it as UTF-8.
    const unsigned console_code_page = platform_console_utf8();
    RunOptions options;
    int status = 1;
    if (parse_command_line(argc, argv, kopc_map_program, &options) == 0) {
        status = run_kopc_map(options);
    }
    std::fflush(stdout);
    platform_console_restore(console_code_page);
    return status;
}
