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
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

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

// One map encoded on a thread of its own while the next map is drawn: its image (a copy, the
// run's own image takes the next map), its PNG and small picture, and the outcome of
// encode_png. Two of them keep both cores busy on big maps.
struct Encoding {
    MapImage image;
    PngFile png;
    PngFile small_png;
    std::size_t size = 0;
    std::size_t small_size = 0;
    int result = 0;
    uint8_t small[thumbnail_side * thumbnail_side * 4];
    std::thread worker;

    ~Encoding() { // a thread still running when the run ends early is waited for
        if (worker.joinable()) {
            worker.join();
        }
    }
};

// The map's PNG and small picture, on the encoding's own thread.
void encode(Encoding* encoding) noexcept {
    const MapImage& image = encoding->image;
    const PngImage full = {image.width, image.height, image.bit_count, image.pixels.data(),
                           image.palette};
    encoding->result = encode_png(full, &encoding->png, &encoding->size);
    if (encoding->result == 0) {
        encoding->result = encode_png(thumbnail(image, encoding->small), &encoding->small_png,
                                      &encoding->small_size);
    }
}

// Starts encoding the image just drawn in `image`; on the calling thread when no thread can
// be had. png_out_of_memory when there is no memory for the copy.
int start_encoding(const MapImage& image, Encoding* encoding) noexcept {
    if (encoding->worker.joinable()) { // left by a run that failed
        encoding->worker.join();
    }
    try {
        encoding->image = image;
    } catch (const std::bad_alloc&) {
        return png_out_of_memory;
    }
    // No thread to be had (the system refuses one, or its state finds no memory): the map is
    // encoded here, which only costs time.
    try {
        encoding->worker = std::thread(encode, encoding);
    } catch (const std::system_error&) {
        encode(encoding);
    } catch (const std::bad_alloc&) {
        encode(encoding);
    }
    return 0;
}

// Waits for map `map`'s encoding and writes its index entry; 0, or -1 with its line printed.
int finish_encoding(std::FILE* page, int map, const MapReport& report, Encoding* encoding) {
    if (encoding->worker.joinable()) {
        encoding->worker.join();
    }
    if (encoding->result == png_out_of_memory) {
        std::puts(common_text::memory);
        return -1;
    }
    if (encoding->result != 0) {
        std::printf(atlas_text::compress_fmt, map_catalogue[map].title);
        return -1;
    }
    write_index_entry(page, map, report, encoding->png.data(), encoding->size,
                      encoding->small_png.data(), encoding->small_size);
    return 0;
}

// Renders every map and writes the whole page to `page`, naming the shapes by `names` (null:
// by their codes). Map i is encoded while map i + 1 is drawn and map i - 1 still encodes;
// the index entries go out in order. 0 when every map went in; a failure prints its line.
int write_atlas(const RunOptions& options, RunInputs* inputs, const ShapeNames* names,
                std::FILE* page) {
    // 31 reports of 8.5 KiB and two encodings of 64 KiB of small picture: on the heap, not on
    // a small stack.
    std::vector<MapReport> reports;
    std::unique_ptr<Encoding[]> encodings(new (std::nothrow) Encoding[2]);
    if (!encodings || !grow_buffer(&reports, map_count)) {
        std::puts(common_text::memory);
        return -1;
    }
    write_page_head(page, options);
    for (int i = 0; i < map_count + 2; ++i) {
        if (i >= 2 && finish_encoding(page, i - 2, reports[i - 2], &encodings[i % 2]) != 0) {
            return -1;
        }
        if (i >= map_count) {
            continue;
        }
        draw_run_map(options, inputs, i, &reports[i]);
        if (start_encoding(inputs->image, &encodings[i % 2]) != 0) {
            std::puts(common_text::memory);
            return -1;
        }
    }
    return write_page_tail(page, inputs->blocks.data(), reports.data(), inputs->shapes, names);
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
