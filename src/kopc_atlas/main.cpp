// SPDX-License-Identifier: MIT
// Program entry of kopc_atlas.
#include "atlas.h"
#include "messages.h"

int main(int argc, char* argv[]) {
    const RunProgram program = {"kopc_atlas",
                                run_options_map | run_options_names,
                                "overwrite atlas.html",
                                atlas_text::notes,
                                sizeof atlas_text::notes / sizeof atlas_text::notes[0],
                                1};
    RunOptions options;
    const RunSession session = run_begin(argc, argv, program, &options);
    return run_end(session, session.go != 0 ? run_atlas(options) : 1);
}
