// SPDX-License-Identifier: MIT
// The shape set from a game executable: 64 shapes of 16 x 16 pixels stored in a block at
// a fixed offset, 2 bits a pixel in the CGA release, 4 bits a pixel in the EGA release.
// The block is fetched with one seek and one read and decoded in one pass.
#include "gamedata/gamedata.h"
#include "gamedata/messages.h"
#include "platform/platform.h"

#include <algorithm>

// Blue, green, red, reserved: the CGA/EGA text mode colours (0xAA and 0x55 levels).
const PaletteEntry exe_palette[exe_palette_entries] = {
    {0x00, 0x00, 0x00, 0}, // black
    {0xAA, 0x00, 0x00, 0}, // blue
    {0x00, 0xAA, 0x00, 0}, // green
    {0xAA, 0xAA, 0x00, 0}, // cyan
    {0x00, 0x00, 0xAA, 0}, // red
    {0xAA, 0x00, 0xAA, 0}, // magenta
    {0x00, 0x55, 0xAA, 0}, // brown: green is 0x55, not 0xAA
    {0xAA, 0xAA, 0xAA, 0}, // light grey
    {0x55, 0x55, 0x55, 0}, // dark grey
    {0xFF, 0x55, 0x55, 0}, // light blue
    {0x55, 0xFF, 0x55, 0}, // light green
    {0xFF, 0xFF, 0x55, 0}, // light cyan
    {0x55, 0x55, 0xFF, 0}, // light red
    {0xFF, 0x55, 0xFF, 0}, // light magenta
    {0x55, 0xFF, 0xFF, 0}, // yellow
    {0xFF, 0xFF, 0xFF, 0}, // white
};

// The low-intensity cyan-magenta CGA palette mapped onto the 16 colours.
const uint8_t cga_colour_map[4] = {0, 3, 5, 7};

void decode_cga_shapes(uint8_t* sheet, const uint8_t* block) noexcept {
    const uint8_t* in = block;
    for (int i = 0; i < sheet_tiles_down; ++i) {
        for (int j = 0; j < sheet_tiles_across; ++j) {
            in += 2; // the record's two leading bytes do not reach the sheet
            for (int y = 0; y < exe_tile_size; ++y) {
                uint8_t* out =
                    sheet + (exe_tile_size * i + y) * exe_sheet_width + exe_tile_size * j;
                for (int k = 0; k < 4; ++k) {
                    const uint8_t b = *in++;
                    *out++ = cga_colour_map[b >> 6];
                    *out++ = cga_colour_map[(b >> 4) & 3];
                    *out++ = cga_colour_map[(b >> 2) & 3];
                    *out++ = cga_colour_map[b & 3];
                }
            }
        }
    }
}

void decode_ega_shapes(uint8_t* sheet, const uint8_t* block) noexcept {
    const uint8_t* in = block;
    for (int i = 0; i < sheet_tiles_down; ++i) {
        for (int j = 0; j < sheet_tiles_across; ++j) {
            for (int y = 0; y < exe_tile_size; ++y) {
                uint8_t* out =
                    sheet + (exe_tile_size * i + y) * exe_sheet_width + exe_tile_size * j;
                for (int k = 0; k < 8; ++k) {
                    const uint8_t b = *in++;
                    *out++ = static_cast<uint8_t>(b >> 4);
                    *out++ = static_cast<uint8_t>(b & 15);
                }
            }
        }
    }
}

int read_shapes(const char* data_path, ShapeSet* shapes, int cga) noexcept {
    const char* file_name = cga ? cga_executable : ega_executable;
    const long offset = cga ? cga_block_offset : ega_block_offset;
    const size_t length = cga ? cga_block_size : ega_block_size;

    shapes->tile_width = exe_tile_size;
    shapes->tile_height = exe_tile_size;
    shapes->bit_count = 4;
    shapes->bytes_per_pixel = 1;

    // The record arrives empty; the sheet starts cleared, the palette is copied in.
    if (!grow_buffer(&shapes->pixels, exe_sheet_size, uint8_t{0})) {
        std::puts(common_text::memory);
        return -1;
    }
    if (!grow_buffer(&shapes->palette, exe_palette_entries)) {
        std::puts(common_text::memory);
        return -1;
    }
    std::copy(exe_palette, exe_palette + exe_palette_entries, shapes->palette.begin());

    std::string joined;
    const char* path = join_data_path(data_path, file_name, &joined);
    if (path == nullptr) {
        return -1;
    }
    FilePtr file(platform_open_read(path));
    if (!file) {
        std::printf(common_text::open_fmt, path);
        return -1;
    }
    // Seeking past the end is no failure; a short file shows up as a short read.
    if (std::fseek(file.get(), offset, SEEK_SET) != 0) {
        std::printf(gamedata_text::seek_fmt, path, static_cast<unsigned>(offset));
        return -1;
    }
    uint8_t block[ega_block_size]; // the larger of the two blocks
    if (std::fread(block, length, 1, file.get()) != 1) {
        std::printf(gamedata_text::read_fmt, path);
        return -1;
    }
    file.reset();

    if (cga) {
        decode_cga_shapes(shapes->pixels.data(), block);
    } else {
        decode_ega_shapes(shapes->pixels.data(), block);
    }
    return 0;
}
