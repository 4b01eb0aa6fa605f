// SPDX-License-Identifier: MIT
// kopc_tmx: kopc_map's options (and --names), the shape names, the run's inputs and the
// renderer's decisions (no map is drawn), one question before anything is written, then the
// tileset and every map of the catalogue as Tiled files in the current folder. The files are
// a set: each is written whole under a temporary name, and only when all are written do
// they take their names together; a failure leaves the old set as it was.
#include "messages.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tmx.h"

namespace {

constexpr int file_count = 2 + map_count; // the tileset's image and text, then the maps

// The set's final names: the tileset's two files, then the maps in catalogue order.
struct TmxNames {
    char map[map_count][tmx_name_size];
    const char* all[file_count];
};

void name_files(TmxNames* names) {
    names->all[0] = tileset_image_file;
    names->all[1] = tileset_file;
    for (int i = 0; i < map_count; ++i) {
        tmx_file_name(i, names->map[i]);
        names->all[2 + i] = names->map[i];
    }
}

// Opens the file that takes `name`, under its temporary name; null (after its line) when it
// cannot be.
std::FILE* begin(const char* name, NewFile* file) {
    if (platform_begin_new_file(name, file) != new_file_done) {
        std::printf(tmx_text::write_fmt, name);
        return nullptr;
    }
    return file->stream.get();
}

int write_tileset_files(const RunInputs& inputs, const ShapeNames* names, NewFile files[2]) {
    uint8_t paint[shape_count];
    choose_paint_tiles(inputs.blocks, paint);
    const ShapeSet& shapes = inputs.shapes;
    PixelBuffer pixels;
    PngFile png;
    std::size_t size = 0;
    if (!build_tileset_image(shapes, &pixels)) {
        std::puts(common_text::memory);
        return -1;
    }
    const PngImage image = {static_cast<uint32_t>(shapes.tile_width) * tileset_columns,
                            static_cast<uint32_t>(shapes.tile_height) * sheet_tiles_down,
                            shapes.bit_count, pixels.data(), sheet_palette(shapes)};
    const int encoded = encode_png(image, &png, &size);
    if (encoded == png_out_of_memory) {
        std::puts(common_text::memory);
        return -1;
    }
    if (encoded != 0) {
        std::printf(tmx_text::compress_fmt, tileset_image_file);
        return -1;
    }
    std::FILE* stream = begin(tileset_image_file, &files[0]);
    if (stream == nullptr) {
        return -1;
    }
    std::fwrite(png.data(), 1, size, stream);
    if ((stream = begin(tileset_file, &files[1])) == nullptr) {
        return -1;
    }
    write_tileset(stream, shapes, names, paint);
    return 0;
}

int run_tmx(const RunOptions& options) {
    ShapeNames names;
    if (options.names_path != nullptr && read_shape_names(options.names_path, &names) != 0) {
        return 1;
    }
    RunInputs inputs;
    TmxNames files;
    name_files(&files);
    if (load_run_inputs(options, run_no_image, &inputs) != 0) {
        return 1;
    }
    // A map edited since kopc_tmx wrote it is named in the question, or, with --overwrite, once
    // it is replaced, so that no edit is lost unsaid.
    bool edited[map_count];
    for (int i = 0; i < map_count; ++i) {
        edited[i] = platform_entry_exists(files.map[i]) && tmx_edited(files.map[i]);
        if (edited[i] && options.overwrite == 0) {
            std::printf(tmx_text::edited_fmt, files.map[i]);
        }
    }
    if (confirm_replace(files.all, file_count, options.overwrite) != 0) {
        std::puts(tmx_text::write_set);
        return 1;
    }
    // Every file of the set stays open under its temporary name until all are written; one
    // that is dropped on a failure removes its temporary file.
    NewFile written[file_count];
    const ShapeNames* named = options.names_path != nullptr ? &names : nullptr;
    if (write_tileset_files(inputs, named, written) != 0) {
        return 1;
    }
    TmxContent content;
    for (int i = 0; i < map_count; ++i) {
        MapReport report;
        decide_run_map(options, inputs, i, &report);
        if (export_map_model(inputs.blocks[i], report, content.tiles, &content.npcs) != 0) {
            std::puts(common_text::memory);
            return 1;
        }
        std::FILE* stream = begin(files.map[i], &written[2 + i]);
        if (stream == nullptr) {
            return 1;
        }
        write_tmx_map(stream, options, inputs.shapes, i, inputs.blocks[i], report, content, named);
    }
    const int finished = platform_finish_new_files(written, files.all, file_count);
    if (finished != new_file_done) {
        std::puts(finished == new_file_not_replaced ? tmx_text::replace_set : tmx_text::write_set);
        return 1;
    }
    for (int i = 0; i < map_count; ++i) {
        if (edited[i] && options.overwrite != 0) {
            std::printf(tmx_text::replaced_edited_fmt, files.map[i]);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const RunProgram program = {"kopc_tmx",
                                run_options_map | run_options_names,
                                "overwrite the Tiled files",
                                tmx_text::notes,
                                sizeof tmx_text::notes / sizeof tmx_text::notes[0],
                                1};
    RunOptions options;
    const RunSession session = run_begin(argc, argv, program, &options);
    return run_end(session, session.go != 0 ? run_tmx(options) : 1);
}
