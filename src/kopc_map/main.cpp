// SPDX-License-Identifier: MIT
// kopc_map (also its allocation-failure test build): the run's inputs, then every map of
// the catalogue drawn, reported and saved as a BMP in the current folder, in catalogue
// order. The first failure ends the run; files already written stay.
#include "render/render.h"
#include "run/run.h"

#include <cstdio>

static const char fmt_write_file[] = "error: write bitmap file '%s'\n";
// Its status tells whether all 31 images were written, whatever became of its lines.
static const RunProgram kopc_map_program = {
    "kopc_map", run_options_map, "overwrite output files", nullptr, 0, 0};

namespace {

int run_kopc_map(const RunOptions& options) {
    RunInputs inputs;
    if (load_run_inputs(options, run_with_image, &inputs) != 0) {
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
    RunOptions options;
    const RunSession session = run_begin(argc, argv, kopc_map_program, &options);
    return run_end(session, session.go != 0 ? run_kopc_map(options) : 1);
}
