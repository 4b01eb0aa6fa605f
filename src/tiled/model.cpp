// SPDX-License-Identifier: MIT
// What kopc_tmx writes for a map, made from the renderer's decisions, and the two digests
// that tie a Tiled map to the game files it came from and to its own content. The digests are
// 64-bit FNV-1a: they tell of a change, nobody forges them.
#include "tiled/tiled.h"

#include <cstdio>
#include <new>

namespace {

constexpr uint64_t fnv_offset = 0xCBF29CE484222325u;
constexpr uint64_t fnv_prime = 0x100000001B3u;

uint64_t fnv(uint64_t hash, const uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * fnv_prime;
    }
    return hash;
}

// A number as four bytes, low byte first, into the digest: the same on every host.
uint64_t fnv_number(uint64_t hash, int value) {
    const uint32_t v = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    return fnv(hash, bytes, sizeof bytes);
}

void put_digest(uint64_t hash, char text[digest_text_size]) {
    std::snprintf(text, digest_text_size, "%016llx", static_cast<unsigned long long>(hash));
}

} // namespace

void block_digest(const MapBlock& block, char text[digest_text_size]) noexcept {
    uint64_t hash = fnv(fnv_offset, block.tiles, sizeof block.tiles);
    put_digest(fnv(hash, reinterpret_cast<const uint8_t*>(&block.npc), sizeof block.npc), text);
}

void content_digest(const uint8_t tiles[map_file_size], const std::vector<TiledObject>& npcs,
                    char text[digest_text_size]) noexcept {
    uint64_t hash = fnv(fnv_offset, tiles, map_file_size);
    // The objects by their ids, however Tiled ordered them in the file: each id once, the
    // next larger one after it.
    long last = -1;
    for (;;) {
        const TiledObject* next = nullptr;
        for (const TiledObject& o : npcs) {
            if (o.id > last && (next == nullptr || o.id < next->id)) {
                next = &o;
            }
        }
        if (next == nullptr) {
            break;
        }
        last = next->id;
        for (const int value :
             {next->id, int{next->tile}, next->column, next->row, next->visible}) {
            hash = fnv_number(hash, value);
        }
    }
    put_digest(hash, text);
}

int export_map_model(const MapBlock& block, const MapReport& report, uint8_t tiles[map_file_size],
                     std::vector<TiledObject>* npcs) noexcept {
    const NpcRecord& npc = block.npc;
    for (std::size_t cell = 0; cell < map_file_size; ++cell) {
        const int taken = report.cell_slot[cell] - 1;
        // Where the slot the renderer takes shows the map's own byte, that byte is the NPC:
        // the layer holds what lies under it, so that moving the NPC in Tiled leaves no copy.
        tiles[cell] = taken >= 0 && npc.shown[taken] == block.tiles[cell] ? npc.ground[taken]
                                                                          : block.tiles[cell];
    }
    try {
        npcs->clear();
        for (int s = 0; s < npc_slots; ++s) {
            if (report.standing[s] != 0) {
                TiledObject o;
                o.id = static_cast<int>(npcs->size()) + 1;
                o.slot = s;
                o.tile = report.slot_tile[s];
                o.column = npc.x[s];
                o.row = npc.y[s];
                o.visible = report.taken[s];
                npcs->push_back(o);
            }
        }
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 0;
}
