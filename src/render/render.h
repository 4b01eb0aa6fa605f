// SPDX-License-Identifier: MIT
// Map rendering and output: composes one map's image from its tiles, NPC slots and time
// doors, and saves it as a BMP, asking before an existing file is replaced.
#ifndef KOPC_RENDER_RENDER_H
#define KOPC_RENDER_RENDER_H

#include "bitmap/bitmap.h"
#include "gamedata/gamedata.h"

#include <cstdint>
#include <vector>

// The render target, reused for every map: 64 x 64 tiles in the shape set's encoding.
struct MapImage {
    uint32_t width = 0;               // 64 x tile width
    uint32_t height = 0;              // 64 x tile height
    uint32_t bit_count = 0;           // the shape set's
    uint32_t data_size = 0;           // bytes per pixel x width x height
    PixelBuffer pixels;               // top-down, no line padding
    const Palette* palette = nullptr; // the shape set's; null above 8 bits
};

// Sizes `image` for 64 x 64 tiles of `shapes`, in their bit count and with their palette;
// the pixels are not allocated. -1 when the width, the height or the pixel data would be
// larger than bitmap_max_size.
int size_map_image(const ShapeSet& shapes, MapImage* image) noexcept;

// Draws every cell of one map into `image`, printing a line for each NPC slot whose shown
// tile disagrees with the map. Cannot fail.
void render_map(MapImage* image, const ShapeSet& shapes, const MapEntry& entry,
                const MapBlock& block, int time_doors, int no_npcs, int no_mon_files,
                int ignore_diff) noexcept;

// Writes `image` as a BMP named `file_name` in the current folder. Unless `overwrite` is
// set, an existing file is replaced only when the user says yes. 0 when written.
int save_map_image(const char* file_name, const MapImage& image, int overwrite) noexcept;

// Asks `question` on the console: 1 for y or Y, 0 for n, N or the end of input.
int ask_yes_no(const char* question) noexcept;

#endif
