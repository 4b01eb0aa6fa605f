// SPDX-License-Identifier: MIT
// The shape set from a user's shape bitmap: a BMP of 16 x 4 tiles of any size, in any bit
// count the bitmap module reads. Its pixels and palette are taken as they are.
#include "gamedata/gamedata.h"
#include "gamedata/messages.h"
#include "platform/platform.h"

int read_shape_bitmap(const char* file_name, ShapeSet* shapes, uint32_t tiles_across,
                      uint32_t tiles_down) noexcept {
    if (tiles_across != sheet_tiles_across || tiles_down != sheet_tiles_down) {
        return -1; // the only layout the renderer reads; the driver always passes it
    }
    FilePtr file(platform_open_read(file_name));
    if (!file) {
        std::printf(common_text::open_fmt, file_name);
        return -1;
    }
    BitmapHeader header;
    if (read_bitmap(file.get(), &header, &shapes->palette, &shapes->pixels, 0) < 0) {
        std::printf(gamedata_text::read_fmt, file_name);
        return -1;
    }
    file.reset();

    const uint32_t tile_width = header.biWidth / tiles_across;
    const uint32_t tile_height = header.biHeight / tiles_down;
    shapes->tile_width = static_cast<int32_t>(tile_width);
    shapes->tile_height = static_cast<int32_t>(tile_height);
    shapes->bit_count = header.biBitCount;
    shapes->bytes_per_pixel = bitmap_bytes_per_pixel(header.biBitCount);

    if (shapes->tile_width <= 0 || shapes->tile_height <= 0) {
        std::puts(gamedata_text::too_small);
        return -1;
    }
    // Only the width must divide: rows below the last whole tile row are never drawn.
    if (header.biWidth != tile_width * tiles_across) {
        std::puts(gamedata_text::illegal_size);
        return -1;
    }
    return 0;
}
