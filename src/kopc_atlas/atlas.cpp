// SPDX-License-Identifier: MIT
// The run of kopc_atlas: kopc_map's options, shapes, image and map data; then every map
// rendered, reported and encoded as PNG into a page written under a temporary name, which
// replaces atlas.html only once it is complete.
#include "atlas.h"
#include "messages.h"
#include "platform/platform.h"
#include "png/png.h"
#include "render/render.h"
#include "run/run.h"

namespace {

constexpr std::size_t output_buffer_size = 128 * 1024; // bytes handed to the system per write

// Renders every map and writes the whole page to `page`. 0 when every map went in; a
// failure prints its line.
int write_atlas(const RunOptions& options, RunInputs* inputs, std::FILE* page) {
    MapReport reports[map_count];
    PixelBuffer png;
    write_page_head(page, options);
    for (int i = 0; i < map_count; ++i) {
        draw_run_map(options, inputs, i, &reports[i]);
        const MapImage& image = inputs->image;
        const PngImage png_image = {image.width, image.height, image.bit_count, image.pixels.data(),
                                    image.palette};
        std::size_t size = 0;
        const int encoded = encode_png(png_image, &png, &size);
        if (encoded == -2) {
            std::puts(run_text::memory);
            return -1;
        }
        if (encoded != 0) {
            std::printf(atlas_text::compress_fmt, map_catalogue[i].title);
            return -1;
        }
        write_index_entry(page, i, png.data(), size);
    }
    write_page_tail(page, options, inputs->blocks.data(), reports);
    return 0;
}

int run_atlas(const RunOptions& options) {
    RunInputs inputs;
    if (load_run_inputs(options, &inputs) != 0) {
        return 1;
    }
    if (confirm_overwrite(atlas_file, options.overwrite) != 0) {
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    FilePtr page(std::fopen(atlas_part_file, "wb"));
    if (!page) {
        std::printf(atlas_text::open_fmt, atlas_part_file);
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    char stream_buffer[output_buffer_size];
    std::setvbuf(page.get(), stream_buffer, _IOFBF, sizeof stream_buffer);
    int failed = write_atlas(options, &inputs, page.get());
    // Every write goes through the stream: its error flag and the close tell of a full disk.
    const bool write_error = std::ferror(page.get()) != 0;
    const bool close_error = std::fclose(page.release()) != 0;
    if (failed == 0 && (write_error || close_error)) {
        std::printf(atlas_text::write_fmt, atlas_part_file);
        failed = -1;
    }
    if (failed == 0 && platform_replace_file(atlas_part_file, atlas_file) != 0) {
        std::printf(atlas_text::replace_fmt, atlas_file);
        failed = -1;
    }
    if (failed != 0) {
        std::remove(atlas_part_file);
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    return 0;
}

} // namespace

int kopc_atlas_main(int argc, const char* const argv[]) noexcept {
    const RunProgram program = {"kopc_atlas", run_options_map, "overwrite atlas.html",
                                atlas_text::notes,
                                sizeof atlas_text::notes / sizeof atlas_text::notes[0]};
    RunOptions options;
    int status = 1;
    if (parse_command_line(argc, argv, program, &options) == 0) {
        status = run_atlas(options);
    }
    std::fflush(stdout);
    return status;
}
