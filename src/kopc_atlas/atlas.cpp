// SPDX-License-Identifier: MIT
// The run of kopc_atlas: kopc_map's options, shapes, image and map data; then every map
// rendered, reported and encoded as PNG into a page written under a temporary name of this
// run's own, which replaces atlas.html only once it is complete. The temporary file is gone
// after every failure, so the messages name the page itself.
#include "atlas.h"
#include "messages.h"
#include "platform/platform.h"
#include "png/png.h"
#include "render/render.h"
#include "run/run.h"

#include <vector>

namespace {

// Renders every map and writes the whole page to `page`, naming the shapes by `names` (null:
// by their codes). 0 when every map went in; a failure prints its line.
int write_atlas(const RunOptions& options, RunInputs* inputs, const ShapeNames* names,
                std::FILE* page) {
    std::vector<MapReport> reports; // 31 of 8.5 KiB: on the heap, not on a small stack
    PngFile png;
    if (!grow_buffer(&reports, map_count)) {
        std::puts(common_text::memory);
        return -1;
    }
    write_page_head(page, options);
    for (int i = 0; i < map_count; ++i) {
        draw_run_map(options, inputs, i, &reports[i]);
        const MapImage& image = inputs->image;
        const PngImage png_image = {image.width, image.height, image.bit_count, image.pixels.data(),
                                    image.palette};
        std::size_t size = 0;
        const int encoded = encode_png(png_image, &png, &size);
        if (encoded == png_out_of_memory) {
            std::puts(common_text::memory);
            return -1;
        }
        if (encoded != 0) {
            std::printf(atlas_text::compress_fmt, map_catalogue[i].title);
            return -1;
        }
        write_index_entry(page, i, reports[i], png.data(), size);
    }
    return write_page_tail(page, options, inputs->blocks.data(), reports.data(), inputs->shapes,
                           names);
}

} // namespace

int run_atlas(const RunOptions& options) noexcept {
    // A names file is read whole first: a bad one ends the run before anything is written.
    ShapeNames names;
    if (options.names_path != nullptr && read_shape_names(options.names_path, &names) != 0) {
        return 1;
    }
    RunInputs inputs;
    if (load_run_inputs(options, run_with_image, &inputs) != 0) {
        return 1;
    }
    const char* const files[] = {atlas_file};
    if (confirm_replace(files, 1, options.overwrite) != 0) {
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    // The stream's buffer outlives the page, which every path below closes.
    char stream_buffer[output_buffer_size];
    NewFile page;
    if (platform_begin_new_file(atlas_file, &page) != 0) {
        std::printf(common_text::open_fmt, atlas_file);
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    std::setvbuf(page.stream.get(), stream_buffer, _IOFBF, sizeof stream_buffer);
    if (write_atlas(options, &inputs, options.names_path != nullptr ? &names : nullptr,
                    page.stream.get()) != 0) {
        platform_discard_new_file(&page);
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    const int finished = platform_finish_new_file(&page, atlas_file);
    if (finished != 0) {
        std::printf(finished == new_file_not_replaced ? atlas_text::replace_fmt
                                                      : atlas_text::write_fmt,
                    atlas_file);
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    return 0;
}
