// SPDX-License-Identifier: MIT
// One Tiled map back into its map's bytes, by difference: the renderer decides the map from
// the game's files with the options the map was written with, export_map_model gives what
// kopc_tmx wrote from them, and only what the TMX holds otherwise is applied.
#ifndef KOPC_IMPORT_IMPORT_H
#define KOPC_IMPORT_IMPORT_H

#include "gamedata/gamedata.h"
#include "run/run.h"
#include "tiled/tiled.h"

// The edits of `tiled` (read from `path`, written with `options`) applied to `block`, catalogue
// row `map`'s bytes, into `edited`:
// - a cell whose tile differs from what kopc_tmx wrote takes the new tile: into the ground of
//   the slot the renderer takes there when the cell's own byte is that slot's tile and its
//   object did not change, into the map byte everywhere else;
// - objects are matched to the slots by their ids (kopc_tmx numbers the standing slots from 1
//   in slot order). A changed object (moved, retiled, shown) leaves its old cell to the tile
//   layer (where the renderer took it), and puts its slot at its new cell: the map byte and
//   the slot's tile are the object's, its ground the tile layer's there. A deleted object
//   frees its slot (shown tile 0, its other bytes kept); a new one takes the first free slot.
// Maps written with -n or --no-mon-files take tile edits alone, and say so when an object
// changed. Lines tell of other layers and of slots the edit uncovers. 0; -1 after the line
// of a refusal (nothing applied then) or of exhausted memory.
int import_map(const char* path, const TiledMap& tiled, const RunOptions& options, int map,
               const MapBlock& block, MapBlock* edited) noexcept;

#endif
