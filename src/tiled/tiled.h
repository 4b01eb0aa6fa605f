// SPDX-License-Identifier: MIT
// Tiled maps as this project writes and reads them: the model of one map's TMX file (its
// tile layer as tile bytes, its NPC objects, its properties), the reader that checks a file
// as kopc_tmx wrote it and Tiled saved it (any layer encoding Tiled offers, the shared or an
// embedded tileset), what kopc_tmx writes for a map from the renderer's decisions, and the
// digests that tie a TMX to the game files it was made from and to its own content.
#ifndef KOPC_TILED_TILED_H
#define KOPC_TILED_TILED_H

#include "gamedata/gamedata.h"
#include "render/render.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The tileset every map shares, and its name in Tiled. A tile's id is its tile byte: the
// tileset holds each shape tile_variants times, once for each value of the byte's two low
// bits, so the tile layer alone gives every byte back.
constexpr char tileset_file[] = "ko.tiles.tsx";
constexpr char tileset_name[] = "ko.tiles";
constexpr int tileset_tiles = shape_count * tile_variants; // 256, one per byte

// The layers kopc_tmx writes, by name.
constexpr char tiles_layer[] = "tiles";
constexpr char npcs_layer[] = "npcs";
constexpr char doors_layer[] = "time doors";

// One object of a map's "npcs" layer.
struct TiledObject {
    int id = 0;       // Tiled's object id
    int slot = -1;    // its "slot" property; -1 when it has none
    uint8_t tile = 0; // its tile byte: the gid less the tileset's firstgid
    int column = 0;   // the cell under the object's centre (may lie off the map)
    int row = 0;
    int visible = 1; // 0 or 1
};

// One TMX file as read.
struct TiledMap {
    std::string map_file; // the "map_file" property
    std::string npc_file; // the "npc_file" property
    std::string options;  // the "options" property: the options as typed
    std::string base;     // the "base" property (see block_digest)
    std::string content;  // the "content" property (see content_digest)
    int tile_width = 0;   // the map's tile size in pixels
    int tile_height = 0;
    uint8_t tiles[map_file_size] = {};     // the "tiles" layer as tile bytes, row-major
    std::vector<TiledObject> npcs;         // the "npcs" layer's objects, in file order
    std::vector<std::string> other_layers; // layers this project did not write, by name
};

// Room for a digest's text: 16 hexadecimal digits and the terminating zero.
constexpr std::size_t digest_text_size = 17;

// The digest of the two game files a map was made from, as read (the block's bytes).
void block_digest(const MapBlock& block, char text[digest_text_size]) noexcept;

// The digest of a map's content as kopc_tmx wrote it or Tiled saved it: the tile layer's
// bytes and, in the order of their ids, each NPC object's id, tile, cell and visibility.
// Properties and other layers are not covered.
void content_digest(const uint8_t tiles[map_file_size], const std::vector<TiledObject>& npcs,
                    char text[digest_text_size]) noexcept;

// What kopc_tmx writes for one map, from the renderer's decisions: the tile layer holds the
// map byte, except where the renderer takes a slot whose shown tile equals the map byte,
// where it holds that slot's ground; one object per slot standing on the map, ids from 1 in
// slot order, showing the slot's drawn tile at its cell, visible where the slot is taken.
// 0, or -1 when memory ran out (nothing printed).
int export_map_model(const MapBlock& block, const MapReport& report, uint8_t tiles[map_file_size],
                     std::vector<TiledObject>* npcs) noexcept;

// Reads and checks the TMX file at `path` (a Windows-form path, opened through the platform
// layer) into `map`. 0 when the import can take it; -1 after one line naming the file, the
// cell (column, row) or object, and what to change in Tiled (or that memory ran out). The
// tile layer may be in any encoding Tiled writes but Zstandard; the tileset the shared
// ko.tiles.tsx or embedded, at any firstgid. An object's cell is the one under its centre,
// wherever it lies; its tile byte is checked against the tileset, not against the map's use.
// With `quiet` set, a refusal prints nothing (only memory running out is told).
int read_tiled_map(const char* path, TiledMap* map, int quiet) noexcept;

#endif
