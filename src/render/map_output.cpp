// SPDX-License-Identifier: MIT
// Saving a rendered map as a BMP in the current folder, and the console question asked
// before an existing file is replaced.
#include "platform/platform.h"
#include "render/messages.h"
#include "render/render.h"

constexpr size_t output_buffer_size = 128 * 1024; // bytes handed to the system per write

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

int confirm_overwrite(const char* file_name, int overwrite) noexcept {
    if (overwrite == 0 && platform_file_exists(file_name)) {
        std::printf(render_text::exists_fmt, file_name);
        if (ask_yes_no(render_text::overwrite_question) == 0) {
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
    FilePtr file(std::fopen(file_name, "wb"));
    if (!file) {
        std::printf(render_text::open_fmt, file_name);
        return -1;
    }
    // A larger stream buffer than the default few KiB means far fewer write calls to the
    // system; it lives on this frame and the stream is closed before the frame ends.
    char stream_buffer[output_buffer_size];
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
