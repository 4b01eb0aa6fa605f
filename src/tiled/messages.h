// SPDX-License-Identifier: MIT
// Every text the Tiled module prints, in one place: why a TMX file cannot come back into the
// game's files, each with the file, the cell or object, and what to change in Tiled.
#ifndef KOPC_TILED_MESSAGES_H
#define KOPC_TILED_MESSAGES_H

namespace tiled_text {

constexpr char read_fmt[] = "error: read '%s'\n";
constexpr char not_regular_fmt[] = "error: '%s' is not a regular file\n";
constexpr char not_xml_fmt[] = "error: '%s' is no XML file: %s at byte %ld\n";
constexpr char not_map_fmt[] = "error: '%s' is no Tiled map\n";
constexpr char infinite_fmt[] =
    "error: '%s' is an infinite map: uncheck Infinite in Tiled's Map Properties\n";
constexpr char orientation_fmt[] =
    "error: '%s' is not orthogonal: set Orientation to Orthogonal in Tiled's Map Properties\n";
constexpr char size_fmt[] =
    "error: '%s' is %d x %d tiles of %d x %d pixels: resize it to 64 x 64 tiles in Tiled\n";
constexpr char no_property_fmt[] =
    "error: '%s' has no property '%s': write the map again with kopc_tmx\n";
constexpr char no_tileset_fmt[] =
    "error: '%s' has no tileset ko.tiles: add ko.tiles.tsx to the map again in Tiled\n";
constexpr char no_layer_fmt[] =
    "error: '%s' has no tile layer 'tiles' of 64 x 64 tiles: write the map again with kopc_tmx\n";
constexpr char no_npcs_fmt[] =
    "error: '%s' has no object layer 'npcs': write the map again with kopc_tmx\n";
constexpr char encoding_fmt[] =
    "error: '%s' layer 'tiles' is stored as '%s': set Tile Layer Format to CSV in Tiled's Map "
    "Properties\n";
constexpr char damaged_fmt[] =
    "error: '%s' layer 'tiles' does not hold 64 x 64 tiles: save the map again in Tiled\n";
constexpr char flipped_cell_fmt[] =
    "error: '%s' cell (%d, %d) holds a flipped or rotated tile: paint it unflipped in Tiled\n";
constexpr char empty_cell_fmt[] =
    "error: '%s' cell (%d, %d) is empty: paint a tile there in Tiled\n";
constexpr char foreign_cell_fmt[] = "error: '%s' cell (%d, %d) holds a tile of another tileset: "
                                    "paint one of ko.tiles there in Tiled\n";
constexpr char object_id_fmt[] =
    "error: '%s' layer 'npcs' has two objects of id %d, or one without: save the map again in "
    "Tiled\n";
constexpr char not_tile_object_fmt[] =
    "error: '%s' object %d is no tile object: delete it from layer 'npcs' in Tiled\n";
constexpr char template_fmt[] =
    "error: '%s' object %d is a template instance: detach it from its template in Tiled\n";
constexpr char rotated_fmt[] = "error: '%s' object %d is rotated: set its Rotation to 0 in Tiled\n";
constexpr char resized_fmt[] =
    "error: '%s' object %d is resized: set its Width and Height to %d x %d in Tiled\n";
constexpr char flipped_object_fmt[] = "error: '%s' object %d is flipped: flip it back in Tiled\n";
constexpr char foreign_object_fmt[] = "error: '%s' object %d shows a tile of another tileset: "
                                      "replace its tile with one of ko.tiles in Tiled\n";

} // namespace tiled_text

#endif
