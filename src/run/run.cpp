// SPDX-License-Identifier: MIT
// The run every program shares: the option table and its parser, the inputs in order
// (shapes, image, all map data), and one map drawn with its report. The first failure ends
// the run, its line printed here.
#include "run/run.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

static const char fmt_usage_first[] = "usage: %s [options] %s[DATA-PATH]\n";
static const char usage_tmx_folder[] = "TMX-FOLDER ";
static const char msg_no_tmx_folder[] = "error: no TMX-FOLDER given";
static const char fmt_illegal_parameter[] = "error: illegal parameter '%s'\n";
static const char msg_data_path_note[] = "read map data from current directory if not specified";
static const char fmt_unknown_option[] = "error: unknown option '%s'\n";
static const char fmt_read_shape_bitmap[] = "error: read shape bitmap '%s'\n";
static const char msg_read_shapes[] = "error: read shapes";
static const char msg_read_map_data[] = "error: read map data";
static const char fmt_more_exist[] = "'%s' and %u more of the files to write already exist\n";

namespace {

enum OptionId {
    opt_cga,
    opt_ega,
    opt_shape,
    opt_no_npcs,
    opt_no_mon_files,
    opt_ignore_diff,
    opt_time_doors,
    opt_names,
    opt_dry_run,
    opt_overwrite,
    opt_help
};

// One option: its short and long spelling (null: none), the name of its argument (null:
// it takes none) and the line printed when the argument is missing, its help (null for
// --overwrite, whose help is the program's), and the set it belongs to. Usage lines list
// them in this order, help at column 32; the options as typed follow it too.
struct OptionRow {
    OptionId id;
    const char* short_name;
    const char* long_name;
    const char* argument;
    const char* missing;
    const char* help[2]; // a second help line where one is not enough
    unsigned set;
};

const OptionRow option_table[] = {
    {opt_cga, nullptr, "--cga", nullptr, nullptr, {"read CGA version shapes"}, run_options_map},
    {opt_ega,
     nullptr,
     "--ega",
     nullptr,
     nullptr,
     {"read EGA version shapes (default)"},
     run_options_map},
    {opt_shape,
     "-s",
     "--shape",
     "SHAPES-BMP",
     "error: no shape bitmap filename",
     {"read shape data from specified file"},
     run_options_map},
    {opt_no_npcs, "-n", "--no-npcs", nullptr, nullptr, {"draw no NPCs/monsters"}, run_options_map},
    {opt_no_mon_files,
     nullptr,
     "--no-mon-files",
     nullptr,
     nullptr,
     {"not use NPCs/monsters data files"},
     run_options_map},
    {opt_ignore_diff,
     nullptr,
     "--ignore-diff",
     nullptr,
     nullptr,
     {"ignore difference of map and mon data", "use mon data"},
     run_options_map},
    {opt_time_doors, "-t", "--time-doors", nullptr, nullptr, {"draw time doors"}, run_options_map},
    {opt_names,
     nullptr,
     "--names",
     "FILE",
     "error: no shape names filename",
     {"read shape names from specified file"},
     run_options_names},
    {opt_dry_run,
     nullptr,
     "--dry-run",
     nullptr,
     nullptr,
     {"print what would change, write nothing"},
     run_options_import},
    {opt_overwrite,
     nullptr,
     "--overwrite",
     nullptr,
     nullptr,
     {nullptr},
     run_options_map | run_options_import},
    {opt_help,
     "-?",
     "--help",
     nullptr,
     nullptr,
     {"print usage"},
     run_options_map | run_options_import},
};

constexpr int help_column = 32;

bool is(const char* argument, const char* option) {
    return option != nullptr && std::strcmp(argument, option) == 0;
}

// The table's row for `argument` among the program's options, or null.
const OptionRow* find_option(const char* argument, unsigned set) {
    for (const OptionRow& row : option_table) {
        if ((row.set & set) != 0 && (is(argument, row.short_name) || is(argument, row.long_name))) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace

void print_usage(const RunProgram& program) noexcept {
    std::printf(fmt_usage_first, program.name,
                (program.options & run_options_import) != 0 ? usage_tmx_folder : "");
    std::puts("option:");
    for (const OptionRow& row : option_table) {
        if ((row.set & program.options) == 0) {
            continue;
        }
        // "        -s|--shape SHAPES-BMP", or the long name alone under the short ones.
        const int written =
            std::printf("        %s%s%s%s%s", row.short_name ? row.short_name : "   ",
                        row.short_name ? "|" : "", row.long_name, row.argument ? " " : "",
                        row.argument ? row.argument : "");
        const char* help = row.help[0] ? row.help[0] : program.overwrite_help;
        std::printf("%*s%s\n", written < help_column ? help_column - written : 1, "", help);
        if (row.help[1] != nullptr) {
            std::printf("%*s%s\n", help_column, "", row.help[1]);
        }
    }
    std::puts("");
    std::puts(msg_data_path_note);
    for (std::size_t i = 0; i < program.note_count; ++i) {
        std::puts(program.notes[i]);
    }
}

int parse_command_line(int argc, const char* const argv[], const RunProgram& program,
                       RunOptions* options) noexcept {
    // The words that are no option: kopc_import's TMX-FOLDER first, then DATA-PATH.
    const char** places[2] = {&options->data_path, nullptr};
    if ((program.options & run_options_import) != 0) {
        places[0] = &options->tmx_folder;
        places[1] = &options->data_path;
    }
    std::size_t placed = 0;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (placed == 2 || places[placed] == nullptr) {
                std::printf(fmt_illegal_parameter, argument);
                return -1;
            }
            *places[placed++] = argument;
            continue;
        }
        const OptionRow* row = find_option(argument, program.options);
        if (row == nullptr) {
            std::printf(fmt_unknown_option, argument);
            return -1;
        }
        // An option's argument is the next one, taken even if it begins with '-'.
        if (row->argument != nullptr && i + 1 >= argc) {
            std::puts(row->missing);
            return -1;
        }
        switch (row->id) {
        case opt_help:
            print_usage(program);
            return -1;
        case opt_cga:
        case opt_ega:
            options->use_shape_bitmap = 0;
            options->cga = row->id == opt_cga;
            break;
        case opt_shape:
            options->shape_bitmap_path = argv[++i];
            options->use_shape_bitmap = 1;
            break;
        case opt_names:
            options->names_path = argv[++i];
            break;
        case opt_no_npcs:
            options->no_npcs = 1;
            break;
        case opt_no_mon_files:
            options->no_mon_files = 1;
            break;
        case opt_ignore_diff:
            options->ignore_diff = 1;
            break;
        case opt_time_doors:
            options->time_doors = 1;
            break;
        case opt_dry_run:
            options->dry_run = 1;
            break;
        case opt_overwrite:
            options->overwrite = 1;
            break;
        }
    }
    if ((program.options & run_options_import) != 0 && options->tmx_folder == nullptr) {
        std::puts(msg_no_tmx_folder);
        return -1;
    }
    return 0;
}

int load_run_inputs(const RunOptions& options, RunImage with_image, RunInputs* inputs) noexcept {
    ShapeSet& shapes = inputs->shapes;
    if (options.use_shape_bitmap) {
        if (read_shape_bitmap(options.shape_bitmap_path, &shapes, sheet_tiles_across,
                              sheet_tiles_down) != 0) {
            std::printf(fmt_read_shape_bitmap, options.shape_bitmap_path);
            return -1;
        }
    } else if (read_shapes(options.data_path, &shapes, options.cga) != 0) {
        std::puts(msg_read_shapes);
        return -1;
    }

    // The image, allocated once, is drawn over whole for every map, so it is not cleared.
    // Its pages are made resident in one step, not faulted in one by one as the first map
    // is drawn.
    MapImage& image = inputs->image;
    if (with_image == run_with_image &&
        (size_map_image(shapes, &image) != 0 || !grow_buffer(&image.pixels, image.data_size) ||
         platform_populate(image.pixels.data(), image.pixels.size()) != 0)) {
        std::puts(common_text::memory);
        return -1;
    }

    return load_run_blocks(options, &inputs->blocks);
}

int load_run_blocks(const RunOptions& options, std::vector<MapBlock>* blocks) noexcept {
    // 31 blocks of 4352 bytes: on the heap, they would crowd a small stack.
    if (!grow_buffer(blocks, map_count)) {
        std::puts(common_text::memory);
        return -1;
    }
    if (load_map_data(options.data_path, map_catalogue, blocks->data()) != 0) {
        std::puts(msg_read_map_data);
        return -1;
    }
    return 0;
}

void decide_run_map(const RunOptions& options, const RunInputs& inputs, int map,
                    MapReport* report) noexcept {
    const MapEntry& entry = map_catalogue[map];
    decide_map(entry, inputs.blocks[map], options.time_doors, options.no_npcs, options.no_mon_files,
               options.ignore_diff, report);
    print_mismatches(entry, inputs.blocks[map], *report);
}

void draw_run_map(const RunOptions& options, RunInputs* inputs, int map,
                  MapReport* report) noexcept {
    const MapEntry& entry = map_catalogue[map];
    render_map(&inputs->image, inputs->shapes, entry, inputs->blocks[map], options.time_doors,
               options.no_npcs, options.no_mon_files, options.ignore_diff, report);
    print_mismatches(entry, inputs->blocks[map], *report);
}

// Whether the row's option is in force: the shape source chosen, or a flag that is set.
static bool option_in_force(const OptionRow& row, const RunOptions& options) {
    switch (row.id) {
    case opt_cga:
        return options.use_shape_bitmap == 0 && options.cga != 0;
    case opt_ega:
        return options.use_shape_bitmap == 0 && options.cga == 0;
    case opt_shape:
        return options.use_shape_bitmap != 0;
    case opt_no_npcs:
        return options.no_npcs != 0;
    case opt_no_mon_files:
        return options.no_mon_files != 0;
    case opt_ignore_diff:
        return options.ignore_diff != 0;
    case opt_time_doors:
        return options.time_doors != 0;
    case opt_names:
    case opt_dry_run:
    case opt_overwrite:
    case opt_help:
        break; // how the run went, not how the maps were drawn
    }
    return false;
}

void format_run_options(char text[run_options_text_size], const RunOptions& options) noexcept {
    std::size_t used = 0;
    text[0] = '\0';
    for (const OptionRow& row : option_table) {
        if (!option_in_force(row, options)) {
            continue;
        }
        // The shape bitmap by its file name alone.
        const char* name = row.argument != nullptr ? options.shape_bitmap_path : "";
        for (const char* c = name; *c != '\0'; ++c) {
            name = *c == '/' || *c == '\\' ? c + 1 : name;
        }
        const int written =
            std::snprintf(text + used, run_options_text_size - used, "%s%s%s%s",
                          used > 0 ? " " : "", row.short_name ? row.short_name : row.long_name,
                          row.argument != nullptr ? " " : "", name);
        used = written < 0 ? used : std::min(run_options_text_size - 1, used + written);
    }
}

RunSession run_begin(int argc, const char* const argv[], const RunProgram& program,
                     RunOptions* options) noexcept {
    // The console shows UTF-8 while the program runs; run_end flushes standard output before
    // the console's own code page comes back, so every line reaches it as UTF-8.
    RunSession session = {&program, platform_console_utf8(), 0};
    session.go = parse_command_line(argc, argv, program, options) == 0;
    return session;
}

int run_end(const RunSession& session, int status) noexcept {
    const bool lost = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    platform_console_restore(session.console_code_page);
    return lost && session.program->output_checked != 0 ? 1 : status;
}

int confirm_replace(const char* const names[], std::size_t count, int overwrite) noexcept {
    const char* first = nullptr;
    std::size_t existing = 0;
    for (std::size_t i = 0; i < count && overwrite == 0; ++i) {
        if (platform_entry_exists(names[i])) {
            first = first != nullptr ? first : names[i];
            ++existing;
        }
    }
    if (existing == 0) {
        return 0;
    }
    if (existing == 1) {
        std::printf(overwrite_text::exists_fmt, first);
    } else {
        std::printf(fmt_more_exist, first, static_cast<unsigned>(existing - 1));
    }
    return ask_yes_no(overwrite_text::question) != 0 ? 0 : -1;
}

// The flag that a row of the table sets, or null for a row that is no flag of the maps.
static int* run_flag(OptionId id, RunOptions* options) {
    switch (id) {
    case opt_no_npcs:
        return &options->no_npcs;
    case opt_no_mon_files:
        return &options->no_mon_files;
    case opt_ignore_diff:
        return &options->ignore_diff;
    case opt_time_doors:
        return &options->time_doors;
    default:
        return nullptr;
    }
}

int parse_run_options(const char* text, RunOptions* options) noexcept {
    // The flags from the end, in the table's order backwards, each at most once: what is
    // left is the shape source, a shape bitmap's name included, whatever characters it holds.
    std::size_t length = std::strlen(text);
    for (std::size_t i = sizeof option_table / sizeof option_table[0]; i-- > 0;) {
        const OptionRow& row = option_table[i];
        int* flag = run_flag(row.id, options);
        const char* name = row.short_name ? row.short_name : row.long_name;
        const std::size_t size = std::strlen(name);
        if (flag != nullptr && length > size && text[length - size - 1] == ' ' &&
            std::strncmp(text + length - size, name, size) == 0) {
            *flag = 1;
            length -= size + 1;
        }
    }
    // The shape source, as option_in_force tells it: --cga, --ega or "-s NAME".
    for (const OptionRow& row : option_table) {
        const char* name = row.short_name ? row.short_name : row.long_name;
        const std::size_t size = std::strlen(name);
        const bool named =
            std::strncmp(text, name, size) == 0 &&
            (row.argument != nullptr ? length > size + 1 && text[size] == ' ' : length == size);
        if (named && (row.id == opt_cga || row.id == opt_ega || row.id == opt_shape)) {
            options->use_shape_bitmap = row.id == opt_shape;
            options->cga = row.id == opt_cga;
            return 0;
        }
    }
    return -1;
}
