// SPDX-License-Identifier: MIT
// Map rendering and output: decides what each cell of a map shows (its tile, the NPC slot
// standing there or the ground under it, the time doors), draws the map's image from those
// decisions, and saves it as a BMP, asking before an existing file is replaced. The
// renderer writes every pixel of the image, so it is never cleared between maps.
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

// What the renderer decided for one map, made once and handed with the report to every
// program that shows the map: for each cell the tile byte it shows under the NPC overlay
// and the slot that decided it; for each slot whether it stands on the map, decided its
// cell, disagrees with the map, and the tile it shows where it is drawn; the mismatch
// lines in the order of their cells (a slot stands on one cell, so each comes at most
// once); and the time doors, apart from the tiles they are drawn over.
struct MapReport {
    int mismatch_count = 0;
    uint8_t mismatch_slots[npc_slots] = {};
    uint8_t standing[npc_slots] = {};  // 1: in use and on the map (none without NPC files)
    uint8_t taken[npc_slots] = {};     // 1: this slot decided its cell's tile
    uint8_t mismatch[npc_slots] = {};  // 1: its line is among mismatch_slots
    uint8_t slot_tile[npc_slots] = {}; // what it shows where drawn: its tile, or its ground (-n)
    uint8_t cell_tile[map_file_size] = {}; // row-major, the doors aside
    uint8_t cell_slot[map_file_size] = {}; // 1 + the slot taken there, 0: the map's own byte
    const DoorPosition* doors = nullptr;   // the map's four time doors, null: it has none
    int doors_drawn = 0;                   // 1: the doors are drawn over their cells
    int grounds_drawn = 0;                 // 1: a slot drawn shows its ground, not itself (-n)
};

// Makes every decision of one map into `report`, with the run's four flags. Cannot fail.
void decide_map(const MapEntry& entry, const MapBlock& block, int time_doors, int no_npcs,
                int no_mon_files, int ignore_diff, MapReport* report) noexcept;

// Decides (as decide_map) and draws every pixel of one map into `image`. Cannot fail.
void render_map(MapImage* image, const ShapeSet& shapes, const MapEntry& entry,
                const MapBlock& block, int time_doors, int no_npcs, int no_mon_files,
                int ignore_diff, MapReport* report) noexcept;

// The four time doors of a map, or null when it has none.
const DoorPosition* map_time_doors(const MapEntry& entry) noexcept;

// Room for one mismatch line and its terminating zero.
constexpr size_t mismatch_line_size = 128;

// The report line of a slot that disagrees with its map, line break included, into `line`;
// returns the snprintf result.
int format_mismatch(char* line, size_t size, const MapEntry& entry, const MapBlock& block,
                    int slot) noexcept;

// Prints the report's lines on standard output, in order.
void print_mismatches(const MapEntry& entry, const MapBlock& block,
                      const MapReport& report) noexcept;

// Writes `image` as a BMP named `file_name` in the current folder. Unless `overwrite` is
// set, an existing file is replaced only when the user says yes. 0 when written.
int save_map_image(const char* file_name, const MapImage& image, int overwrite) noexcept;

// Asks `question` on the console: 1 for y or Y, 0 for n, N or the end of input.
int ask_yes_no(const char* question) noexcept;

// The overwrite dialogue, which the run layer's question for the companions' files speaks too.
namespace overwrite_text {
constexpr char exists_fmt[] = "'%s' already exists\n";
constexpr char question[] = "overwrite ?";
} // namespace overwrite_text

#endif
