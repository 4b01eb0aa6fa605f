// SPDX-License-Identifier: MIT
// kopc_tmx: kopc_map's options (and --names), the shape names, the run's inputs, one question
// before anything is written, then the tileset and every map of the catalogue as Tiled files
// in the current folder. Each file is written under a temporary name and takes its own name
// only when complete; the first failure ends the run, files already written stay.
#include "messages.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tmx.h"

namespace {

// The two tileset files and the 31 maps belong together: the first of them that exists is
// asked about, once, for all.
int confirm_all(int overwrite) {
    char name[tmx_name_size];
    const char* first = platform_file_exists(tileset_file)         ? tileset_file
                        : platform_file_exists(tileset_image_file) ? tileset_image_file
                                                                   : nullptr;
    for (int i = 0; i < map_count && first == nullptr; ++i) {
        tmx_file_name(i, name);
        first = platform_file_exists(name) ? name : nullptr;
    }
    if (first != nullptr && confirm_overwrite(first, overwrite) != 0) {
        std::printf(tmx_text::write_fmt, first);
        return -1;
    }
    return 0;
}

// Opens `name` under a temporary name; null (after its line) when it cannot be.
std::FILE* begin(const char* name, NewFile* file) {
    if (platform_begin_new_file(name, file) != 0) {
        std::printf(tmx_text::write_fmt, name);
        return nullptr;
    }
    return file->stream.get();
}

// Puts the file that `begin` opened in place under `name`.
int finish(const char* name, NewFile* file) {
    if (platform_finish_new_file(file, name) != 0) {
        std::printf(tmx_text::write_fmt, name);
        return -1;
    }
    return 0;
}

int write_tileset_files(const RunInputs& inputs, const ShapeNames* names) {
    const ShapeSet& shapes = inputs.shapes;
    PixelBuffer pixels;
    PixelBuffer png;
    std::size_t size = 0;
    if (!build_tileset_image(shapes, &pixels)) {
        std::puts(run_text::memory);
        return -1;
    }
    const PngImage image = {static_cast<uint32_t>(shapes.tile_width) * tileset_columns,
                            static_cast<uint32_t>(shapes.tile_height) * sheet_tiles_down,
                            shapes.bit_count, pixels.data(), inputs.image.palette};
    const int encoded = encode_png(image, &png, &size);
    if (encoded == -2) {
        std::puts(run_text::memory);
        return -1;
    }
    if (encoded != 0) {
        std::printf(tmx_text::compress_fmt, tileset_image_file);
        return -1;
    }
    NewFile file;
    std::FILE* stream = begin(tileset_image_file, &file);
    if (stream == nullptr) {
        return -1;
    }
    std::fwrite(png.data(), 1, size, stream);
    if (finish(tileset_image_file, &file) != 0 ||
        (stream = begin(tileset_file, &file)) == nullptr) {
        return -1;
    }
    write_tileset(stream, shapes, names);
    return finish(tileset_file, &file);
}

int run_tmx(const RunOptions& options) {
    ShapeNames names;
    if (options.names_path != nullptr && read_shape_names(options.names_path, &names) != 0) {
        return 1;
    }
    RunInputs inputs;
    if (load_run_inputs(options, &inputs) != 0 || confirm_all(options.overwrite) != 0 ||
        write_tileset_files(inputs, options.names_path != nullptr ? &names : nullptr) != 0) {
        return 1;
    }
    for (int i = 0; i < map_count; ++i) {
        MapReport report;
        draw_run_map(options, &inputs, i, &report);
        char name[tmx_name_size];
        tmx_file_name(i, name);
        NewFile file;
        std::FILE* stream = begin(name, &file);
        if (stream == nullptr) {
            return 1;
        }
        write_tmx_map(stream, options, inputs.shapes, i, inputs.blocks[i], report);
        if (finish(name, &file) != 0) {
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const RunProgram program = {"kopc_tmx", run_options_map | run_options_names,
                                "overwrite the Tiled files", tmx_text::notes,
                                sizeof tmx_text::notes / sizeof tmx_text::notes[0]};
    // As in kopc_map: the console shows UTF-8 while the program runs, and standard output is
    // flushed before the console's own code page comes back.
    const unsigned console_code_page = platform_console_utf8();
    RunOptions options;
    int status = 1;
    if (parse_command_line(argc, argv, program, &options) == 0) {
        status = run_tmx(options);
    }
    std::fflush(stdout);
    platform_console_restore(console_code_page);
    return status;
}
