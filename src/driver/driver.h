// SPDX-License-Identifier: MIT
// The driver: command-line parsing and the run over the map catalogue.
#ifndef KOPC_DRIVER_DRIVER_H
#define KOPC_DRIVER_DRIVER_H

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

// Fills `options` from the arguments after the program name. 0 when the run should go
// ahead; -1 when it ends here (usage printed, or an error printed), with status 1.
int parse_command_line(int argc, const char* const argv[], RunOptions* options) noexcept;

// Runs the whole job: shapes, image, map data, then render and save every map.
// Returns the exit status: 0 when all maps were written, 1 otherwise.
int run_kopc_map(const RunOptions& options) noexcept;

// The program: parse, run, and the exit status.
int kopc_map_main(int argc, const char* const argv[]) noexcept;

#endif
