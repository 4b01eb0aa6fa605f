// The map renderer: picks the tile of every cell (map, NPC, ground under the NPC or time
// door) and copies its shape from the sheet, one contiguous copy per tile line.
#include "render.h"

#include <cstring>

static const char fmt_mismatch[] = "%s[%2.1d] (%2.1d,%2.1d) %02X:%d -> %02X:%d/%02X:%d %s\n";

namespace {

// The tile byte to draw at (column, row) after the NPC overlay.
uint8_t overlay_tile(const MapEntry& entry, const MapBlock& block, int column, int row,
                     int no_npcs, int ignore_diff) {
    const uint8_t map_tile = block.tiles[row * map_tiles_across + column];
    const NpcRecord& npc = block.npc;
    for (int s = 0; s < npc_slots; ++s) {
        const uint8_t shown = npc.shown[s];
        if (shown == 0 || npc.x[s] != column || npc.y[s] != row) {
            continue;
        }
        if (shown != map_tile) {
            const uint8_t ground = npc.ground[s];
            std::printf(fmt_mismatch, entry.map_file, s, npc.x[s], npc.y[s],
                        static_cast<unsigned>(map_tile / 4), map_tile % 4,
                        static_cast<unsigned>(shown / 4), shown % 4,
                        static_cast<unsigned>(ground / 4), ground % 4, entry.title);
            if (entry.keep_map_on_mismatch != 0 && ignore_diff == 0) {
                continue;
            }
        }
        return no_npcs ? npc.ground[s] : shown;
    }
    return map_tile;
}

} // namespace

void render_map(MapImage* image, const ShapeSet& shapes, const MapEntry& entry,
                const MapBlock& block, int time_doors, int no_npcs, int no_mon_files,
                int ignore_diff) noexcept {
    const size_t tile_width = static_cast<size_t>(shapes.tile_width);
    const size_t tile_height = static_cast<size_t>(shapes.tile_height);
    const size_t bytes_per_pixel = shapes.bytes_per_pixel;
    const size_t span = tile_width * bytes_per_pixel; // bytes of one tile line
    const size_t sheet_line = sheet_tiles_across * span;
    const size_t image_line = map_tiles_across * span;
    const DoorPosition* doors = nullptr;
    if (time_doors != 0 && entry.door_set >= 0 && entry.door_set < door_set_count) {
        doors = time_door_table[entry.door_set];
    }

    for (int r = 0; r < map_tiles_down; ++r) {
        for (int c = 0; c < map_tiles_across; ++c) {
            const uint8_t tile =
                no_mon_files ? block.tiles[r * map_tiles_across + c]
                             : overlay_tile(entry, block, c, r, no_npcs, ignore_diff);
            size_t shape = tile / 4;
            if (doors != nullptr) {
                for (int d = 0; d < doors_per_set; ++d) {
                    if (doors[d].x == c && doors[d].y == r) {
                        shape = time_door_shape;
                    }
                }
            }
            const uint8_t* from = shapes.pixels.data() +
                                  (shape / sheet_tiles_across) * tile_height * sheet_line +
                                  (shape % sheet_tiles_across) * span;
            uint8_t* to = image->pixels.data() + r * tile_height * image_line + c * span;
            for (size_t l = 0; l < tile_height; ++l) {
                std::memcpy(to, from, span);
                from += sheet_line;
                to += image_line;
            }
        }
    }
}
