// SPDX-License-Identifier: MIT
// The map image's size, the decisions of a map (the tile of every cell: map, NPC, ground
// under the NPC; the time doors apart) and the renderer, which copies each decided shape
// from the sheet, one contiguous copy per tile line, past the caches for an image far
// larger than them.
#include "platform/platform.h"
#include "render/messages.h"
#include "render/render.h"

#include <algorithm>
#include <cstring>

namespace {

// Images from this size on are far larger than any cache: their lines are written past
// the caches, which spares reading each line in before it is written over.
constexpr size_t uncached_image_size = size_t{32} << 20;

// The NPC overlay of the cell at `cell`: the slots that stand there are scanned in
// order; the first whose shown tile equals the map's byte is taken, and so is one that
// differs (its mismatch noted), unless the map keeps its own tile on a mismatch and the
// run does not ignore the difference. A taken slot decides what the cell shows.
void overlay_cell(const MapBlock& block, size_t cell, int keep_map, MapReport* report) {
    const uint8_t map_tile = block.tiles[cell];
    const NpcRecord& npc = block.npc;
    for (int s = 0; s < npc_slots; ++s) {
        if (report->standing[s] == 0 || npc.y[s] * size_t{map_tiles_across} + npc.x[s] != cell) {
            continue;
        }
        if (npc.shown[s] != map_tile) {
            report->mismatch_slots[report->mismatch_count++] = static_cast<uint8_t>(s);
            report->mismatch[s] = 1;
            if (keep_map != 0) {
                continue;
            }
        }
        report->taken[s] = 1;
        report->cell_tile[cell] = report->slot_tile[s];
        report->cell_slot[cell] = static_cast<uint8_t>(s + 1);
        return;
    }
}

// Fills one image line from the 64 tiles of its tile row: one contiguous copy of `span`
// bytes per tile, taken `offset` bytes into each tile's place in the sheet. A fixed span
// lets the compiler turn each copy into a few moves instead of a library call, and four
// tiles a step keep the loop's own bookkeeping below the cost of the copies.
template <size_t span>
inline void copy_line_fixed(uint8_t* to, const uint8_t* const from[], size_t offset) {
    static_assert(map_tiles_across % 4 == 0, "a line is whole steps of four tiles");
    for (int c = 0; c < map_tiles_across; c += 4, to += 4 * span) {
        std::memcpy(to, from[c] + offset, span);
        std::memcpy(to + span, from[c + 1] + offset, span);
        std::memcpy(to + 2 * span, from[c + 2] + offset, span);
        std::memcpy(to + 3 * span, from[c + 3] + offset, span);
    }
}

// The copy for `span`: the fixed one when it is among `fixed_spans`, else a library call
// per tile. Each span is named once, so no span can reach the fixed copy of another.
template <size_t... fixed_spans>
inline void copy_line(uint8_t* to, const uint8_t* const from[], size_t span, size_t offset) {
    const bool copied =
        ((span == fixed_spans && (copy_line_fixed<fixed_spans>(to, from, offset), true)) || ...);
    if (!copied) {
        for (int c = 0; c < map_tiles_across; ++c, to += span) {
            std::memcpy(to, from[c] + offset, span);
        }
    }
}

} // namespace

int size_map_image(const ShapeSet& shapes, MapImage* image) noexcept {
    // Tile sizes come from a loader and are positive; a negative one would turn huge here
    // and be refused like any other size out of range.
    const uint32_t tile_width = static_cast<uint32_t>(shapes.tile_width);
    const uint32_t tile_height = static_cast<uint32_t>(shapes.tile_height);
    BitmapGeometry geometry;
    if (tile_width > bitmap_max_size / map_tiles_across ||
        tile_height > bitmap_max_size / map_tiles_down ||
        bitmap_geometry(tile_width * map_tiles_across, tile_height * map_tiles_down,
                        shapes.bit_count, &geometry) != 0) {
        return -1;
    }
    image->width = tile_width * map_tiles_across;
    image->height = tile_height * map_tiles_down;
    image->bit_count = shapes.bit_count;
    image->data_size = geometry.image_size;
    image->palette = sheet_palette(shapes);
    return 0;
}

void decide_map(const MapEntry& entry, const MapBlock& block, int time_doors, int no_npcs,
                int no_mon_files, int ignore_diff, MapReport* report) noexcept {
    *report = MapReport{};
    std::memcpy(report->cell_tile, block.tiles, map_file_size);
    report->doors = map_time_doors(entry);
    report->doors_drawn = time_doors != 0 && report->doors != nullptr;
    report->grounds_drawn = no_npcs != 0;
    if (no_mon_files != 0) {
        return;
    }
    // Cells that some slot stands on, in row-major order: mismatch lines come out in the
    // order of their cells, and only these cells need the slot scan.
    const NpcRecord& npc = block.npc;
    bool occupied[map_file_size] = {};
    size_t cells[npc_slots];
    int cell_count = 0;
    for (int s = 0; s < npc_slots; ++s) {
        if (npc.shown[s] != 0 && npc.x[s] < map_tiles_across && npc.y[s] < map_tiles_down) {
            const size_t cell = npc.y[s] * size_t{map_tiles_across} + npc.x[s];
            report->standing[s] = 1;
            report->slot_tile[s] = no_npcs != 0 ? npc.ground[s] : npc.shown[s];
            cells[cell_count] = cell;
            cell_count += occupied[cell] ? 0 : 1;
            occupied[cell] = true;
        }
    }
    std::sort(cells, cells + cell_count);
    const int keep_map = entry.keep_map_on_mismatch != 0 && ignore_diff == 0;
    for (int i = 0; i < cell_count; ++i) {
        overlay_cell(block, cells[i], keep_map, report);
    }
}

void render_map(MapImage* image, const ShapeSet& shapes, const MapEntry& entry,
                const MapBlock& block, int time_doors, int no_npcs, int no_mon_files,
                int ignore_diff, MapReport* report) noexcept {
    decide_map(entry, block, time_doors, no_npcs, no_mon_files, ignore_diff, report);
    const size_t tile_width = static_cast<size_t>(shapes.tile_width);
    const size_t tile_height = static_cast<size_t>(shapes.tile_height);
    const size_t span = tile_width * shapes.bytes_per_pixel; // bytes of one tile line
    const size_t sheet_line = sheet_tiles_across * span;
    const size_t image_line = map_tiles_across * span;
    const bool uncached = image->data_size >= uncached_image_size && span % 16 == 0 &&
                          reinterpret_cast<uintptr_t>(image->pixels.data()) % 16 == 0;
    const DoorPosition* doors = report->doors_drawn != 0 ? report->doors : nullptr;
    const uint8_t* shape_at[shape_count]; // where each shape's first line starts in the sheet
    for (size_t shape = 0; shape < shape_count; ++shape) {
        shape_at[shape] = shapes.pixels.data() +
                          (shape / sheet_tiles_across) * tile_height * sheet_line +
                          (shape % sheet_tiles_across) * span;
    }

    for (int r = 0; r < map_tiles_down; ++r) {
        // The tile row's 64 shapes first, then its pixel lines one after the other: the
        // image is written sequentially, while the sheet, small enough to stay in cache,
        // is read wherever it must be.
        const uint8_t* from[map_tiles_across];
        const uint8_t* tiles = report->cell_tile + r * map_tiles_across;
        for (int c = 0; c < map_tiles_across; ++c) {
            from[c] = shape_at[tiles[c] / tile_variants];
        }
        for (int d = 0; doors != nullptr && d < doors_per_set; ++d) {
            if (doors[d].y == r) {
                from[doors[d].x] = shape_at[time_door_tile / tile_variants];
            }
        }
        uint8_t* to = image->pixels.data() + r * tile_height * image_line;
        for (size_t l = 0; l < tile_height; ++l, to += image_line) {
            if (uncached) {
                platform_gather_uncached(to, from, map_tiles_across, l * sheet_line, span);
            } else {
                // The spans of 16- and 32-pixel tiles at one to four bytes a pixel, and
                // of 64-pixel tiles at four; the game's own shapes are 16 pixels of one byte.
                copy_line<16, 32, 48, 64, 96, 128, 256>(to, from, span, l * sheet_line);
            }
        }
    }
    if (uncached) {
        platform_uncached_done();
    }
}

const DoorPosition* map_time_doors(const MapEntry& entry) noexcept {
    if (entry.door_set < 0 || entry.door_set >= door_set_count) {
        return nullptr;
    }
    return time_door_table[entry.door_set];
}

int format_mismatch(char* line, size_t size, const MapEntry& entry, const MapBlock& block,
                    int slot) noexcept {
    const NpcRecord& npc = block.npc;
    const unsigned map_tile = block.tiles[npc.y[slot] * map_tiles_across + npc.x[slot]];
    const unsigned shown = npc.shown[slot];
    const unsigned ground = npc.ground[slot];
    return std::snprintf(line, size, render_text::mismatch_fmt, entry.map_file, slot, npc.x[slot],
                         npc.y[slot], map_tile / tile_variants,
                         static_cast<int>(map_tile % tile_variants), shown / tile_variants,
                         static_cast<int>(shown % tile_variants), ground / tile_variants,
                         static_cast<int>(ground % tile_variants), entry.title);
}

void print_mismatches(const MapEntry& entry, const MapBlock& block,
                      const MapReport& report) noexcept {
    for (int i = 0; i < report.mismatch_count; ++i) {
        char line[mismatch_line_size];
        format_mismatch(line, sizeof line, entry, block, report.mismatch_slots[i]);
        std::fputs(line, stdout);
    }
}
