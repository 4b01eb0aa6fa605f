// SPDX-License-Identifier: MIT
// Saving a rendered map as a BMP in the current folder, and the console question asked
// before an existing file is replaced.
#include "platform/platform.h"
#include "render/messages.h"
#include "render/render.h"

int ask_yes_no(const char* question) noexcept {
    std::printf(render_text::question_fmt, question);
    std::fflush(stdout);
    for (;;) {
        const int c = std::getchar();
        switch (c) {
        case 'y':
        case 'Y':
            return 1;
        case 'n':
        case 'N':
        case EOF: // end of input (or a read error) can never become a yes
            return 0;
        default:
            break; // anything else, the line break included, is ignored
        }
    }
}

// Unless `overwrite` is set and when the BMP exists, says so and asks whether to replace it.
// 0 when it may be written, -1 when the answer was no.
static int confirm_overwrite(const char* file_name, int overwrite) {
    if (overwrite == 0 && platform_file_exists(file_name)) {
        std::printf(overwrite_text::exists_fmt, file_name);
        if (ask_yes_no(overwrite_text::question) == 0) {
            return -1;
        }
    }
    return 0;
}

int save_map_image(const char* file_name, const MapImage& image, int overwrite) noexcept {
    BitmapHeader header;
    if (create_bitmap_header(&header, image.width, image.height,
                             static_cast<uint16_t>(image.bit_count)) != 0) {
        std::puts(render_text::create_header);
        return -1;
    }
    if (confirm_overwrite(file_name, overwrite) != 0) {
        return -1;
    }
    // A larger stream buffer than the default few KiB means far fewer write calls to the
    // system. Declared before the file, it outlives the stream on every path out of here.
    char stream_buffer[output_buffer_size];
    FilePtr file(std::fopen(file_name, "wb"));
    if (!file) {
        std::printf(common_text::open_fmt, file_name);
        return -1;
    }
    std::setvbuf(file.get(), stream_buffer, _IOFBF, sizeof stream_buffer);
    platform_single_user_stream(file.get()); // packed rows reach it 1 KiB a call
    const int written = write_bitmap(file.get(), header, image.palette, image.pixels);
    // The close flushes the last buffered bytes; a full disk may only show up here.
    const int closed = std::fclose(file.release());
    if (written != 0 || closed != 0) {
        std::printf(render_text::write_fmt, file_name);
        return -1;
    }
    return 0;
}
