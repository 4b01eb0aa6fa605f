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

#include <cstring>

namespace {

constexpr std::size_t output_buffer_size = 128 * 1024; // bytes handed to the system per write
constexpr uint32_t thumbnail_side = 128; // the longer side of an index picture, in pixels

// The index's small picture of `image`: every step-th pixel, taken from the middle of each
// step x step block, so that the page carries (and the browser decodes) 31 small pictures
// for its index instead of the full maps. `pixels` holds thumbnail_side squared pixels.
PngImage thumbnail(const MapImage& image, uint8_t* pixels) {
    const uint32_t longer = image.width > image.height ? image.width : image.height;
    const uint32_t step = (longer + thumbnail_side - 1) / thumbnail_side;
    const uint32_t width = image.width / step;
    const uint32_t height = image.height / step;
    const uint32_t bytes = (image.bit_count + 7) / 8;
    uint8_t* out = pixels;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row =
            image.pixels.data() + std::size_t{y * step + step / 2} * image.width * bytes;
        for (uint32_t x = 0; x < width; ++x, out += bytes) {
            std::memcpy(out, row + std::size_t{x * step + step / 2} * bytes, bytes);
        }
    }
    return {width, height, image.bit_count, pixels, image.palette};
}

// Renders every map and writes the whole page to `page`, naming the shapes by `names` (null:
// by their codes). 0 when every map went in; a failure prints its line.
int write_atlas(const RunOptions& options, RunInputs* inputs, const ShapeNames* names,
                std::FILE* page) {
    MapReport reports[map_count];
    PixelBuffer png;
    PixelBuffer small_png;
    static uint8_t small[thumbnail_side * thumbnail_side * 4];
    write_page_head(page, options);
    for (int i = 0; i < map_count; ++i) {
        draw_run_map(options, inputs, i, &reports[i]);
        const MapImage& image = inputs->image;
        const PngImage png_image = {image.width, image.height, image.bit_count, image.pixels.data(),
                                    image.palette};
        std::size_t size = 0;
        std::size_t small_size = 0;
        int encoded = encode_png(png_image, &png, &size);
        if (encoded == 0) {
            encoded = encode_png(thumbnail(image, small), &small_png, &small_size);
        }
        if (encoded == -2) {
            std::puts(run_text::memory);
            return -1;
        }
        if (encoded != 0) {
            std::printf(atlas_text::compress_fmt, map_catalogue[i].title);
            return -1;
        }
        write_index_entry(page, i, reports[i], png.data(), size, small_png.data(), small_size);
    }
    return write_page_tail(page, options, inputs->blocks.data(), reports, inputs->shapes, names);
}

int run_atlas(const RunOptions& options) {
    // A names file is read whole first: a bad one ends the run before anything is written.
    ShapeNames names;
    if (options.names_path != nullptr && read_shape_names(options.names_path, &names) != 0) {
        return 1;
    }
    RunInputs inputs;
    if (load_run_inputs(options, &inputs) != 0) {
        return 1;
    }
    if (confirm_overwrite(atlas_file, options.overwrite) != 0) {
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    // The stream's buffer outlives the page, which every path below closes.
    char stream_buffer[output_buffer_size];
    NewFile page;
    if (platform_begin_new_file(atlas_file, &page) != 0) {
        std::printf(atlas_text::open_fmt, atlas_file);
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
        std::printf(finished == -2 ? atlas_text::replace_fmt : atlas_text::write_fmt, atlas_file);
        std::printf(atlas_text::write_atlas_fmt, atlas_file);
        return 1;
    }
    return 0;
}

} // namespace

int kopc_atlas_main(int argc, const char* const argv[]) noexcept {
    const RunProgram program = {"kopc_atlas", run_options_map | run_options_names,
                                "overwrite atlas.html", atlas_text::notes,
                                sizeof atlas_text::notes / sizeof atlas_text::notes[0]};
    RunOptions options;
    int status = 1;
    if (parse_command_line(argc, argv, program, &options) == 0) {
        status = run_atlas(options);
    }
    std::fflush(stdout);
    return status;
}
