// SPDX-License-Identifier: MIT
// Game data input: the map catalogue, the map and NPC files of every map, and the sheet
// of 64 tile shapes, taken from a game executable or from a shape bitmap.
#ifndef KOPC_GAMEDATA_GAMEDATA_H
#define KOPC_GAMEDATA_GAMEDATA_H

#include "bitmap/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The built-in list of the 31 maps, in the order in which they are loaded, rendered and
// written, and the time-door positions of the five world maps that have them.
struct MapEntry {
    int32_t door_set;             // index into time_door_table, or -1: no time doors
    int32_t keep_map_on_mismatch; // pass over NPC slots that disagree with the map
    const char* map_file;         // 4096-byte tile file in the data folder
    const char* mon_file;         // 256-byte NPC/monster file in the data folder
    const char* output_file;      // BMP written into the current folder
    const char* title;            // ends every mismatch line
};

struct DoorPosition {
    int32_t x; // tile column 0..63
    int32_t y; // tile row 0..63
};

constexpr int map_count = 31;
constexpr int door_set_count = 5;
constexpr int doors_per_set = 4;
constexpr int time_door_shape = 48;
// Tile bytes per shape: a byte's shape is byte / tile_variants, its two low bits are not drawn.
constexpr int tile_variants = 4;
constexpr uint8_t time_door_tile = time_door_shape * tile_variants; // the tile a door shows

extern const MapEntry map_catalogue[map_count];
extern const DoorPosition time_door_table[door_set_count][doors_per_set];

constexpr int map_tiles_across = 64;
constexpr int map_tiles_down = 64;
constexpr size_t map_file_size = map_tiles_across * map_tiles_down; // bytes read of a map file
constexpr int npc_slots = 32;
constexpr int sheet_tiles_across = 16; // shapes are laid out 16 across, 4 down
constexpr int sheet_tiles_down = 4;
constexpr int shape_count = sheet_tiles_across * sheet_tiles_down;

// The first 256 bytes of an NPC/monster file: eight arrays of one byte per slot.
struct NpcRecord {
    uint8_t x[npc_slots]; // tile column of the occupant
    uint8_t y[npc_slots]; // tile row of the occupant
    uint8_t carried1[npc_slots];
    uint8_t shown[npc_slots];  // tile byte the occupant shows; 0: slot unused
    uint8_t ground[npc_slots]; // tile byte under the occupant
    uint8_t carried2[3 * npc_slots];
};
static_assert(sizeof(NpcRecord) == 256, "NpcRecord mirrors the file's first 256 bytes");

// One map's data: its 4096 tile bytes (row-major, row 0 first) and its NPC record.
struct MapBlock {
    uint8_t tiles[map_file_size];
    NpcRecord npc;
};
static_assert(sizeof(MapBlock) == 4352, "MapBlock is the two files' bytes back to back");

// The 64 tile shapes as one sheet 16 tiles across, top-down, no line padding.
struct ShapeSet {
    int32_t tile_width = 0;
    int32_t tile_height = 0;
    uint32_t bit_count = 0;       // 1, 4, 8, 16, 24 or 32
    uint32_t bytes_per_pixel = 0; // (bit_count + 7) / 8
    PixelBuffer pixels;
    Palette palette; // empty above 8 bits
};

// The sheet's palette as images of it are written with it: null above 8 bits.
inline const Palette* sheet_palette(const ShapeSet& shapes) noexcept {
    return shapes.palette.empty() ? nullptr : &shapes.palette;
}

// The path of a data file: `data_path`, one backslash and `file_name`, built in `joined`
// in place of what it held; just `file_name` when data_path is null. Prints the message
// and gives null when the text cannot be allocated.
const char* join_data_path(const char* data_path, const char* file_name,
                           std::string* joined) noexcept;

// Reads the first `count` bytes of `data_path`\`file_name` (just `file_name` when
// data_path is null) into `buffer`.
int read_data_file(const char* data_path, const char* file_name, uint8_t* buffer,
                   size_t count) noexcept;

// Fills blocks[i] from catalogue row i's map and NPC files, for all rows in order.
int load_map_data(const char* data_path, const MapEntry catalogue[map_count],
                  MapBlock blocks[map_count]) noexcept;

// Shape blocks of the two game executables.
constexpr char cga_executable[] = "KOGAME.EXE";
constexpr char ega_executable[] = "KOEGA.EXE";
constexpr long cga_block_offset = 0x7C40;
constexpr long ega_block_offset = 0xA710;
constexpr size_t cga_record_size = 66;  // 2 leading bytes, then 16 rows of 4 bytes
constexpr size_t ega_record_size = 128; // 16 rows of 8 bytes
constexpr size_t cga_block_size = shape_count * cga_record_size; // 4224
constexpr size_t ega_block_size = shape_count * ega_record_size; // 8192
constexpr int exe_tile_size = 16;
constexpr size_t exe_sheet_width = sheet_tiles_across * exe_tile_size;                // 256
constexpr size_t exe_sheet_size = exe_sheet_width * sheet_tiles_down * exe_tile_size; // 16384
constexpr int exe_palette_entries = 16;

// The 16 colours of the CGA/EGA text modes, in palette order.
extern const PaletteEntry exe_palette[exe_palette_entries];
// Palette index of each 2-bit CGA value: black, cyan, magenta, light grey.
extern const uint8_t cga_colour_map[4];

// Builds a 4-bit shape set of 16 x 16 tiles from KOGAME.EXE (cga != 0) or KOEGA.EXE.
int read_shapes(const char* data_path, ShapeSet* shapes, int cga) noexcept;
void decode_cga_shapes(uint8_t* sheet, const uint8_t* block) noexcept;
void decode_ega_shapes(uint8_t* sheet, const uint8_t* block) noexcept;

// Takes the shape set from a BMP holding tiles_across x tiles_down tiles. The renderer
// reads every sheet sheet_tiles_across tiles across: any layout but sheet_tiles_across x
// sheet_tiles_down is refused (-1, nothing printed), as it would send it past the sheet.
int read_shape_bitmap(const char* file_name, ShapeSet* shapes, uint32_t tiles_across,
                      uint32_t tiles_down) noexcept;

#endif
