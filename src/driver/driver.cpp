// SPDX-License-Identifier: MIT
// Command-line parsing and the run: shapes, image, all map data, then render and save
// each map in catalogue order. The first failure ends the run; files already written stay.
#include "driver/driver.h"
#include "gamedata/gamedata.h"
#include "platform/platform.h"
#include "render/render.h"

#include <cstdio>
#include <cstring>

static const char program_name[] = "kopc_map";
static const char fmt_usage_first[] = "usage: %s [options] [DATA-PATH]\n";
static const char* const usage_lines[] = {
    "option:",
    "           --cga                read CGA version shapes",
    "           --ega                read EGA version shapes (default)",
    "        -s|--shape SHAPES-BMP   read shape data from specified file",
    "        -n|--no-npcs            draw no NPCs/monsters",
    "           --no-mon-files       not use NPCs/monsters data files",
    "           --ignore-diff        ignore difference of map and mon data",
    "                                use mon data",
    "        -t|--time-doors         draw time doors",
    "           --overwrite          overwrite output files",
    "        -?|--help               print usage",
    "",
    "read map data from current directory if not specified",
};
static const char fmt_illegal_parameter[] = "error: illegal parameter '%s'\n";
static const char msg_no_shape_file[] = "error: no shape bitmap filename";
static const char fmt_unknown_option[] = "error: unknown option '%s'\n";
static const char fmt_read_shape_bitmap[] = "error: read shape bitmap '%s'\n";
static const char msg_read_shapes[] = "error: read shapes";
static const char msg_memory[] = "error: memory exhausted!";
static const char msg_read_map_data[] = "error: read map data";
static const char fmt_write_file[] = "error: write bitmap file '%s'\n";

namespace {

void print_usage() {
    std::printf(fmt_usage_first, program_name);
    for (const char* line : usage_lines) {
        std::puts(line);
    }
}

bool is(const char* argument, const char* option) {
    return std::strcmp(argument, option) == 0;
}

} // namespace

int parse_command_line(int argc, const char* const argv[], RunOptions* options) noexcept {
    bool have_data_path = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (have_data_path) {
                std::printf(fmt_illegal_parameter, argument);
                return -1;
            }
            options->data_path = argument;
            have_data_path = true;
        } else if (is(argument, "-?") || is(argument, "--help")) {
            print_usage();
            return -1;
        } else if (is(argument, "--cga")) {
            options->use_shape_bitmap = 0;
            options->cga = 1;
        } else if (is(argument, "--ega")) {
            options->use_shape_bitmap = 0;
            options->cga = 0;
        } else if (is(argument, "-s") || is(argument, "--shape")) {
            if (i + 1 >= argc) {
                std::puts(msg_no_shape_file);
                return -1;
            }
            options->shape_bitmap_path = argv[++i]; // taken even if it begins with '-'
            options->use_shape_bitmap = 1;
        } else if (is(argument, "-n") || is(argument, "--no-npcs")) {
            options->no_npcs = 1;
        } else if (is(argument, "--no-mon-files")) {
            options->no_mon_files = 1;
        } else if (is(argument, "--ignore-diff")) {
            options->ignore_diff = 1;
        } else if (is(argument, "-t") || is(argument, "--time-doors")) {
            options->time_doors = 1;
        } else if (is(argument, "--overwrite")) {
            options->overwrite = 1;
        } else {
            std::printf(fmt_unknown_option, argument);
            return -1;
        }
    }
    return 0;
}

int run_kopc_map(const RunOptions& options) noexcept {
    ShapeSet shapes;
    if (options.use_shape_bitmap) {
        if (read_shape_bitmap(options.shape_bitmap_path, &shapes, sheet_tiles_across,
                              sheet_tiles_down) != 0) {
            std::printf(fmt_read_shape_bitmap, options.shape_bitmap_path);
            return 1;
        }
    } else if (read_shapes(options.data_path, &shapes, options.cga) != 0) {
        std::puts(msg_read_shapes);
        return 1;
    }

    // The image, allocated once, is drawn over whole for every map, so it is not cleared.
    // Its pages are made resident in one step, not faulted in one by one as the first map
    // is drawn.
    MapImage image;
    if (size_map_image(shapes, &image) != 0 || !grow_buffer(&image.pixels, image.data_size)) {
        std::puts(msg_memory);
        return 1;
    }
    platform_populate(image.pixels.data(), image.pixels.size());

    // 31 blocks of 4352 bytes: on the heap, they would crowd a small stack.
    std::vector<MapBlock> blocks;
    if (!grow_buffer(&blocks, map_count)) {
        std::puts(msg_memory);
        return 1;
    }
    if (load_map_data(options.data_path, map_catalogue, blocks.data()) != 0) {
        std::puts(msg_read_map_data);
        return 1;
    }

    for (int i = 0; i < map_count; ++i) {
        const MapEntry& entry = map_catalogue[i];
        render_map(&image, shapes, entry, blocks[i], options.time_doors, options.no_npcs,
                   options.no_mon_files, options.ignore_diff);
        if (save_map_image(entry.output_file, image, options.overwrite) != 0) {
            std::printf(fmt_write_file, entry.output_file);
            return 1;
        }
    }
    return 0;
}

int kopc_map_main(int argc, const char* const argv[]) noexcept {
    RunOptions options;
    int status = 1;
    if (parse_command_line(argc, argv, &options) == 0) {
        status = run_kopc_map(options);
    }
    // Whatever the terminal, pipe or file, every line is out before the process ends.
    std::fflush(stdout);
    return status;
}
