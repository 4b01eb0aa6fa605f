// SPDX-License-Identifier: MIT
// The driver: command-line parsing and the run over the map catalogue.
#ifndef KOPC_DRIVER_DRIVER_H
#define KOPC_DRIVER_DRIVER_H

#include "render/render.h"

#include <cstddef>
#include <vector>

// The run's settings. Flags are 0 or 1; absent texts are null.
struct RunOptions {
    int overwrite = 0;        // replace existing output files without asking
    int time_doors = 0;       // draw the time doors
    int ignore_diff = 0;      // on a map/NPC mismatch always draw the NPC slot
    int no_mon_files = 0;     // draw the map files without the NPC overlay
    int no_npcs = 0;          // draw the ground under each NPC instead of the NPC
    int use_shape_bitmap = 0; // shapes from a shape bitmap instead of an executable
    int cga = 0;              // shapes from the CGA executable instead of the EGA one
    const char* shape_bitmap_path = nullptr;
    const char* data_path = nullptr; // null: the current folder
};

// A program's usage text: "usage: PROGRAM [options] [DATA-PATH]", then its lines.
struct UsageText {
    const char* program;
    const char* const* lines;
    std::size_t line_count;
};

// Fills `options` from the arguments after the program name; -?/--help prints `usage`.
// 0 when the run should go ahead; -1 when it ends here (usage printed, or an error
// printed), with status 1.
int parse_command_line(int argc, const char* const argv[], const UsageText& usage,
                       RunOptions* options) noexcept;

// What every map is drawn from. The image borrows the shape set's palette, so the record
// stays where it was filled.
struct RunInputs {
    ShapeSet shapes;
    MapImage image;               // pixels allocated and made resident, not cleared
    std::vector<MapBlock> blocks; // one per catalogue row
};

// Shapes (from the executable or the shape bitmap), the image, then all map data, each
// failure printed with its own line. 0 when all are in place.
int load_run_inputs(const RunOptions& options, RunInputs* inputs) noexcept;

// Runs the whole job: the inputs, then render and save every map.
// Returns the exit status: 0 when all maps were written, 1 otherwise.
int run_kopc_map(const RunOptions& options) noexcept;

// The program: parse, run, and the exit status.
int kopc_map_main(int argc, const char* const argv[]) noexcept;

#endif
