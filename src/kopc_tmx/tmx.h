// SPDX-License-Identifier: MIT
// Tiled maps of a run: one TMX file per map of the catalogue and one tileset (TSX and its
// PNG image) that they all share, in the form Tiled 1.8 writes itself, so that Tiled opens
// and saves them unchanged.
#ifndef KOPC_TMX_TMX_H
#define KOPC_TMX_TMX_H

#include "png/png.h"
#include "run/run.h"
#include "tiled/tiled.h"

#include <cstddef>
#include <cstdio>
#include <vector>

// The tileset's image, in the current folder beside the maps and the tileset (tiled.h), and
// its layout: shape s at ids 4s..4s+3 of its row.
constexpr char tileset_image_file[] = "ko.tiles.png";
constexpr int tileset_columns = sheet_tiles_across * tile_variants; // 64

// Room for a map's file name: its BMP's name with .tmx in place of .bmp.
constexpr std::size_t tmx_name_size = 128;

// The TMX file name of catalogue row `map` into `name`.
void tmx_file_name(int map, char name[tmx_name_size]) noexcept;

// The tileset image: the shape sheet with each tile repeated tile_variants times along its
// row (tileset_columns x sheet_tiles_down tiles), in the sheet's encoding, into `pixels`.
// False when memory ran out.
bool build_tileset_image(const ShapeSet& shapes, PixelBuffer* pixels) noexcept;

// The copy of each shape to paint in Tiled, as its tile byte into `paint`: the copy the maps
// use most (the lowest of those used equally often, the first of a shape no map uses), so
// that a painted tile carries the low bits the game's own maps give that shape.
void choose_paint_tiles(const std::vector<MapBlock>& blocks, uint8_t paint[shape_count]) noexcept;

// The tileset's TSX text. Each tile's properties give its code as the mismatch lines write
// it ("3A:0": shape and low bits), its shape's name with `names` (its code in hex where the
// file names none), and whether it is the copy of its shape to paint.
void write_tileset(std::FILE* file, const ShapeSet& shapes, const ShapeNames* names,
                   const uint8_t paint[shape_count]) noexcept;

// What a map's TMX holds of the map, made by export_map_model from the renderer's decisions.
struct TmxContent {
    uint8_t tiles[map_file_size];
    std::vector<TiledObject> npcs;
};

// Whether the existing TMX file `name` no longer holds what kopc_tmx wrote: the digest of its
// content as read (its tile layer and its NPC objects' ids, tiles, cells and visibility) is
// not its "content" property, or it cannot be read back as a map kopc_tmx wrote (after the
// reader's line saying why). Its properties, names and other layers are not compared.
bool tmx_edited(const char* name) noexcept;

// One map's TMX text: the tile layer and the NPC slots standing on it as tile objects of
// type "npc" named after their shapes (by `names` where given, else by code), visible where
// the run drew them, as `content` has them; the time doors (their layer visible when drawn)
// and the map's properties. Every text is written as UTF-8 that XML allows.
void write_tmx_map(std::FILE* file, const RunOptions& options, const ShapeSet& shapes, int map,
                   const MapBlock& block, const MapReport& report, const TmxContent& content,
                   const ShapeNames* names) noexcept;

#endif
