// SPDX-License-Identifier: MIT
// The run every program shares: one table of command-line options (each program takes its
// own rows of it and gets its usage text from it), the inputs every map is drawn from
// (shapes, the image, all map data), and the drawing of one map with its report.
#ifndef KOPC_RUN_RUN_H
#define KOPC_RUN_RUN_H

#include "gamedata/gamedata.h"
#include "render/render.h"

#include <cstddef>
#include <string>
#include <type_traits>
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
    const char* names_path = nullptr; // --names: a text file of shape names
    const char* data_path = nullptr;  // null: the current folder
    int dry_run = 0;                  // kopc_import: say what would change, write nothing
    const char* tmx_folder = nullptr; // kopc_import: the folder of the Tiled maps
};

// The rows of the option table a program may take (bits of RunProgram::options).
enum RunOptionSet : unsigned {
    run_options_map = 1,    // kopc_map's options, which every program takes
    run_options_names = 2,  // --names FILE
    run_options_import = 4, // kopc_import's: TMX-FOLDER first, --dry-run, --overwrite, --help
};

// What a program tells the run layer about itself: its name (the usage text's first line),
// the option rows it takes, what its --overwrite replaces, the lines that close its usage
// text (after the note on the data path that every program shares), and whether a failed
// write to standard output fails its run (kopc_map's status tells of its images alone).
struct RunProgram {
    const char* name;
    unsigned options;           // RunOptionSet bits
    const char* overwrite_help; // "overwrite output files" for kopc_map
    const char* const* notes;   // after the options, an empty line and the data path note
    std::size_t note_count;
    int output_checked; // 1: a lost line on standard output ends the run with status 1
};

// Prints the program's usage text: "usage: NAME [options] [DATA-PATH]" (kopc_import:
// "usage: NAME [options] TMX-FOLDER [DATA-PATH]"), then one line per option the program
// takes (in the table's order), then the notes.
void print_usage(const RunProgram& program) noexcept;

// Fills `options` from the arguments after the program name; -?/--help prints the usage.
// 0 when the run should go ahead; -1 when it ends here (usage printed, or an error
// printed), with status 1.
int parse_command_line(int argc, const char* const argv[], const RunProgram& program,
                       RunOptions* options) noexcept;

// Every program's main: run_begin sets the console up and parses the command line into
// `options` (go: 1 when the run should go ahead); the program runs; run_end flushes standard
// output, gives the console back and returns the exit status: `status`, or 1 for a program
// whose output is checked when a line could not be written.
struct RunSession {
    const RunProgram* program;
    unsigned console_code_page;
    int go;
};
RunSession run_begin(int argc, const char* const argv[], const RunProgram& program,
                     RunOptions* options) noexcept;
int run_end(const RunSession& session, int status) noexcept;

// Before a program replaces files that are not maps (an existing entry, a link included):
// unless `overwrite` is set and when any of the `count` files named exists, says so (by name
// when it is one, by the first and how many more otherwise) and asks once for all of them. 0
// when they may be written, -1 when the answer was no.
int confirm_replace(const char* const names[], std::size_t count, int overwrite) noexcept;

// What every map is drawn from. The image borrows the shape set's palette, so the record
// can be neither copied nor moved: it stays where it was filled.
struct RunInputs {
    ShapeSet shapes;
    MapImage image;               // pixels allocated and made resident, not cleared
    std::vector<MapBlock> blocks; // one per catalogue row

    RunInputs() = default;
    RunInputs(const RunInputs&) = delete;
    RunInputs& operator=(const RunInputs&) = delete;
};
static_assert(!std::is_copy_constructible<RunInputs>::value &&
                  !std::is_move_constructible<RunInputs>::value &&
                  !std::is_copy_assignable<RunInputs>::value &&
                  !std::is_move_assignable<RunInputs>::value,
              "image.palette points into shapes: a copy or a move would leave it dangling");

// Whether a program draws map images (kopc_map, the atlas) or uses the decisions alone.
enum RunImage { run_no_image = 0, run_with_image = 1 };

// Shapes (from the executable or the shape bitmap), the image when asked for, then all map
// data, each failure printed with its own line. 0 when all are in place.
int load_run_inputs(const RunOptions& options, RunImage image, RunInputs* inputs) noexcept;

// All map data alone, one block per catalogue row, with the same lines as load_run_inputs.
int load_run_blocks(const RunOptions& options, std::vector<MapBlock>* blocks) noexcept;

// Decides catalogue row `map` with the run's options into `report` and prints its mismatch
// lines; draw_run_map also draws it into inputs->image.
void decide_run_map(const RunOptions& options, const RunInputs& inputs, int map,
                    MapReport* report) noexcept;
void draw_run_map(const RunOptions& options, RunInputs* inputs, int map,
                  MapReport* report) noexcept;

// Shape names from a --names file: "" where the file names no shape.
constexpr int max_shape_name_length = 40; // characters (code points), not bytes
struct ShapeNames {
    std::string name[shape_count];
};

// Reads the names file at `path` (see names.cpp for its lines). 0 when every line is good;
// otherwise -1, `names` untouched and an error line printed: "error: read shape names
// 'PATH'" for a file that cannot be read, "error: shape names 'PATH' line N: WHAT" for the
// first bad line.
int read_shape_names(const char* path, ShapeNames* names) noexcept;

// Room for the options as typed: the flags, and a shape bitmap's file name, one path component
// (at most 255 characters, 765 bytes of UTF-8 from Windows' UTF-16).
constexpr std::size_t run_options_text_size = 1024;

// The options the maps were drawn with, as they are typed (each by its short spelling where
// it has one), into `text`: "--ega", "--cga" or "-s NAME" (the shape bitmap by its file
// name alone: the maps do not depend on where it was), then " -n", " --no-mon-files",
// " --ignore-diff" and " -t" where set.
void format_run_options(char text[run_options_text_size], const RunOptions& options) noexcept;

// The other way: the flags and the shape source of options typed as format_run_options types
// them into `options` (the shape bitmap's name is not kept). 0, or -1 for any other text.
int parse_run_options(const char* text, RunOptions* options) noexcept;

// The length of a file name without its extension (from its last '.' on, when it has one):
// a map's name in the companions' own file names and addresses is its BMP's name so cut.
constexpr std::size_t file_stem_length(const char* name) noexcept {
    std::size_t length = 0, stem = 0;
    for (; name[length] != '\0'; ++length) {
        stem = name[length] == '.' ? length : stem;
    }
    return stem != 0 || name[0] == '.' ? stem : length;
}
static_assert(file_stem_length("ko.Elderdays.bmp") == 12 && file_stem_length("ko.Q.png") == 4 &&
                  file_stem_length("MAPX00") == 6,
              "the extension alone is cut, whatever its length, and a name without one is whole");

#endif
