// SPDX-License-Identifier: MIT
// A Tiled map's edits into its map's bytes. What kopc_tmx wrote is made again from the same
// files and options (the caller has checked that the TMX was made from them), so whatever the
// TMX holds otherwise is an edit; an unedited map changes no byte, whatever its options.
#include "import.h"
#include "messages.h"
#include "platform/platform.h"
#include "render/render.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace {

bool off_map(const TiledObject& o) {
    return o.column < 0 || o.row < 0 || o.column >= map_tiles_across || o.row >= map_tiles_down;
}

std::size_t cell_at(int column, int row) {
    return static_cast<std::size_t>(row) * map_tiles_across + static_cast<std::size_t>(column);
}

// One line naming the layers the import does not read, when there are any.
void name_other_layers(const char* path, const TiledMap& tiled) {
    std::string names;
    for (const std::string& name : tiled.other_layers) {
        names += (names.empty() ? "'" : ", '") + name + "'";
    }
    if (!names.empty()) {
        std::printf(import_text::other_layers_fmt, path, names.c_str());
    }
}

// The objects that are not as kopc_tmx wrote them, each with the slot it goes to.
struct ObjectEdits {
    bool left[npc_slots] = {};    // the slot's object changed or was deleted
    bool deleted[npc_slots] = {}; // the slot's object was deleted
    std::vector<int> placed;      // tiled.npcs indices of changed and new objects
    std::vector<int> slot;        // the slot of each; new ones in the order of their ids
};

void find_edits(const TiledMap& tiled, const std::vector<TiledObject>& written,
                ObjectEdits* edits) {
    std::vector<int> added;
    for (std::size_t i = 0; i < tiled.npcs.size(); ++i) {
        added.push_back(static_cast<int>(i));
    }
    for (const TiledObject& w : written) {
        const auto same = std::find_if(added.begin(), added.end(),
                                       [&](int i) { return tiled.npcs[i].id == w.id; });
        if (same == added.end()) {
            edits->left[w.slot] = edits->deleted[w.slot] = true;
            continue;
        }
        const TiledObject& t = tiled.npcs[*same];
        if (t.tile != w.tile || t.column != w.column || t.row != w.row || t.visible != w.visible) {
            edits->left[w.slot] = true;
            edits->placed.push_back(*same);
            edits->slot.push_back(w.slot);
        }
        added.erase(same);
    }
    std::sort(added.begin(), added.end(),
              [&](int a, int b) { return tiled.npcs[a].id < tiled.npcs[b].id; });
    for (const int i : added) {
        edits->placed.push_back(i);
        edits->slot.push_back(-1);
    }
}

// Gives each new object the first free slot (an unused one, or one whose object was
// deleted), then refuses what Tiled cannot show as the renderer will draw it. 0, or -1
// after the line of the first refusal.
int check_edits(const char* path, const TiledMap& tiled, const MapEntry& entry,
                const NpcRecord& npc, ObjectEdits* edits) {
    int free_slot = 0;
    for (int& slot : edits->slot) {
        while (slot < 0 && free_slot < npc_slots && npc.shown[free_slot] != 0 &&
               !edits->deleted[free_slot]) {
            ++free_slot;
        }
        if (slot < 0 && free_slot == npc_slots) {
            std::printf(import_text::no_slot_fmt, path, entry.map_file);
            return -1;
        }
        slot = slot < 0 ? free_slot++ : slot;
    }
    // Where every slot stands once the edits are made.
    uint8_t x[npc_slots], y[npc_slots], shown[npc_slots];
    for (int s = 0; s < npc_slots; ++s) {
        x[s] = npc.x[s];
        y[s] = npc.y[s];
        shown[s] = edits->deleted[s] ? 0 : npc.shown[s];
    }
    for (std::size_t k = 0; k < edits->placed.size(); ++k) {
        const TiledObject& t = tiled.npcs[edits->placed[k]];
        const char* refused = t.visible == 0 ? import_text::hidden_fmt
                              : off_map(t)   ? import_text::off_map_fmt
                              : t.tile == 0  ? import_text::tile_zero_fmt
                                             : nullptr;
        if (refused != nullptr) {
            std::printf(refused, path, t.id, t.column, t.row);
            return -1;
        }
        const int s = edits->slot[k];
        x[s] = static_cast<uint8_t>(t.column);
        y[s] = static_cast<uint8_t>(t.row);
        shown[s] = t.tile;
    }
    // Tiled draws the later of two objects on one cell, the renderer the first slot there.
    for (std::size_t i = 0; i < tiled.npcs.size(); ++i) {
        for (std::size_t j = i + 1; j < tiled.npcs.size(); ++j) {
            const TiledObject& a = tiled.npcs[i];
            const TiledObject& b = tiled.npcs[j];
            if (a.visible != 0 && b.visible != 0 && a.column == b.column && a.row == b.row) {
                std::printf(import_text::two_visible_fmt, path, a.id, b.id, a.column, a.row);
                return -1;
            }
        }
    }
    for (std::size_t k = 0; k < edits->placed.size(); ++k) {
        const TiledObject& t = tiled.npcs[edits->placed[k]];
        for (int s = 0; s < npc_slots; ++s) {
            if (s != edits->slot[k] && shown[s] != 0 && x[s] == t.column && y[s] == t.row) {
                std::printf(import_text::lands_fmt, path, t.id, t.column, t.row, s);
                return -1;
            }
        }
    }
    return 0;
}

int import_edits(const char* path, const TiledMap& tiled, const RunOptions& options, int map,
                 const MapBlock& block, MapBlock* edited) {
    const MapEntry& entry = map_catalogue[map];
    MapReport report;
    decide_map(entry, block, options.time_doors, options.no_npcs, options.no_mon_files,
               options.ignore_diff, &report);
    uint8_t written_tiles[map_file_size];
    std::vector<TiledObject> written;
    if (export_map_model(block, report, written_tiles, &written) != 0) {
        throw std::bad_alloc();
    }
    name_other_layers(path, tiled);
    ObjectEdits edits;
    find_edits(tiled, written, &edits);
    const bool objects_edited =
        !edits.placed.empty() || std::count(edits.deleted, edits.deleted + npc_slots, true) != 0;
    if (objects_edited && (options.no_npcs != 0 || options.no_mon_files != 0)) {
        // Their objects show grounds, or there are none: the tile layer alone comes back.
        std::printf(import_text::objects_ignored_fmt, path,
                    options.no_mon_files != 0 ? "--no-mon-files" : "-n");
        edits = ObjectEdits{};
    } else if (check_edits(path, tiled, entry, block.npc, &edits) != 0) {
        return -1;
    }

    *edited = block;
    NpcRecord& npc = edited->npc;
    // A slot that leaves its cell, where the renderer took it, leaves the tile layer's tile.
    for (int s = 0; s < npc_slots; ++s) {
        if (edits.left[s] && report.taken[s] != 0) {
            const std::size_t cell = cell_at(block.npc.x[s], block.npc.y[s]);
            edited->tiles[cell] = tiled.tiles[cell];
        }
        npc.shown[s] = edits.deleted[s] ? 0 : npc.shown[s];
    }
    // Painting: under a slot whose tile is its cell's byte it is the slot's ground (the layer
    // held that ground), unless the slot's object changed; elsewhere the map's byte.
    for (std::size_t cell = 0; cell < map_file_size; ++cell) {
        const int s = report.cell_slot[cell] - 1;
        if (tiled.tiles[cell] == written_tiles[cell]) {
            continue;
        }
        if (s >= 0 && !edits.left[s] && block.npc.shown[s] == block.tiles[cell]) {
            npc.ground[s] = tiled.tiles[cell];
        } else {
            edited->tiles[cell] = tiled.tiles[cell];
        }
    }
    bool placed[npc_slots] = {};
    for (std::size_t k = 0; k < edits.placed.size(); ++k) {
        const TiledObject& t = tiled.npcs[edits.placed[k]];
        const int s = edits.slot[k];
        const std::size_t cell = cell_at(t.column, t.row);
        npc.x[s] = static_cast<uint8_t>(t.column);
        npc.y[s] = static_cast<uint8_t>(t.row);
        npc.shown[s] = t.tile;
        npc.ground[s] = tiled.tiles[cell];
        edited->tiles[cell] = t.tile;
        placed[s] = true;
    }
    // A slot that another slot hid on its cell and that the renderer now draws.
    MapReport after;
    decide_map(entry, *edited, options.time_doors, options.no_npcs, options.no_mon_files,
               options.ignore_diff, &after);
    for (int s = 0; s < npc_slots; ++s) {
        const std::size_t cell = cell_at(block.npc.x[s], block.npc.y[s]);
        if (!placed[s] && after.taken[s] != 0 && report.standing[s] != 0 && report.taken[s] == 0 &&
            report.cell_slot[cell] != 0) {
            std::printf(import_text::uncovered_fmt, path, block.npc.x[s], block.npc.y[s], s);
        }
    }
    return 0;
}

} // namespace

int import_map(const char* path, const TiledMap& tiled, const RunOptions& options, int map,
               const MapBlock& block, MapBlock* edited) noexcept {
    try {
        return import_edits(path, tiled, options, map, block, edited);
    } catch (const std::bad_alloc&) {
        std::puts(common_text::memory);
        return -1;
    }
}
