// SPDX-License-Identifier: MIT
// The sample world: 64 tile shapes drawn for this project, 31 maps with their NPC files,
// and two stand-in executables that carry the shapes in the blocks the program reads.
// Everything is computed from fixed seeds with integer arithmetic only, so every run on
// every host writes the same bytes.
#ifndef KOPC_SAMPLE_SAMPLE_H
#define KOPC_SAMPLE_SAMPLE_H

#include "gamedata/gamedata.h"

#include <cstdint>

// A small deterministic generator (xorshift32); the state must never be 0.
struct Rng {
    uint32_t state;
};
uint32_t next_random(Rng* rng) noexcept;
// A value in 0 .. bound - 1 (bound > 0).
int random_below(Rng* rng, int bound) noexcept;

// Shape indices of the sample tiles, in sheet order.
enum SampleShape : int {
    shape_water = 0,
    shape_shallows = 1,
    shape_grass = 2,
    shape_scrub = 3,
    shape_forest = 4,
    shape_hills = 5,
    shape_mountains = 6,
    shape_sand = 7,
    shape_swamp = 8,
    shape_lava = 9,
    shape_snow = 10,
    shape_road = 11,
    shape_bridge = 12,
    shape_town = 13,
    shape_castle = 14,
    shape_cave = 15,
    shape_brick_wall = 16,
    shape_stone_wall = 17,
    shape_stone_floor = 18,
    shape_wood_floor = 19,
    shape_door = 20,
    shape_window = 21,
    shape_street = 22,
    shape_counter = 23,
    shape_table = 24,
    shape_bed = 25,
    shape_chest = 26,
    shape_fountain = 27,
    shape_throne = 28,
    shape_shop_sign = 29,
    shape_tent = 30,
    shape_flowers = 31,
    shape_peasant = 32,
    shape_townswoman = 33,
    shape_sailor = 34,
    shape_guard = 35,
    shape_merchant = 36,
    shape_bard = 37,
    shape_mage = 38,
    shape_regent = 39,
    shape_healer = 40,
    shape_smith = 41,
    shape_jester = 42,
    shape_beggar = 43,
    shape_ranger = 44,
    shape_child = 45,
    shape_hero = 46,
    shape_horse = 47,
    shape_time_door = 48,
    shape_orc = 49,
    shape_skeleton = 50,
    shape_rat = 51,
    shape_snake = 52,
    shape_dragon = 53,
    shape_ghost = 54,
    shape_slime = 55,
    shape_bat = 56,
    shape_spider = 57,
    shape_wolf = 58,
    shape_sea_serpent = 59,
    shape_demon = 60,
    shape_pirate_ship = 61,
    shape_whirlpool = 62,
    shape_campfire = 63,
};

// Draws the 64 shapes into `sheet` (exe_sheet_size bytes, 16 x 4 tiles of 16 x 16 pixels,
// one palette index 0..15 a pixel, the layout the program decodes into).
void draw_sample_shapes(uint8_t* sheet) noexcept;

// Reduces the 16-colour sheet to the four CGA colours: each output byte is a 2-bit value
// (0 black, 1 cyan, 2 magenta, 3 light grey), dithered in a checkerboard.
void reduce_to_cga(uint8_t* cga_sheet, const uint8_t* sheet) noexcept;

// The inverses of the program's block decoders: `sheet` holds palette indices 0..15
// (EGA) or 2-bit values 0..3 (CGA); each CGA record gets two leading bytes of `lead`.
void encode_ega_shapes(uint8_t* block, const uint8_t* sheet) noexcept;
void encode_cga_shapes(uint8_t* block, const uint8_t* cga_sheet, uint16_t lead) noexcept;

// A slot that disagrees with its map on purpose, so a full run has mismatches to report.
struct PlantedMismatch {
    int row;  // catalogue row
    int slot; // NPC slot 0..31
};
constexpr int max_planted_mismatches = 8;
struct PlantedMismatches {
    int count;
    PlantedMismatch items[max_planted_mismatches];
};

// Builds the map and NPC bytes of all 31 catalogue rows.
void build_sample_world(MapBlock blocks[map_count], PlantedMismatches* planted) noexcept;

// Name of the text file, beside the data, that lists the planted mismatches.
constexpr char planted_list_file[] = "sample-mismatches.txt";

// Name of the text file, beside the data, that names the shapes (kopc_tmx --names).
constexpr char sample_names_file[] = "names.txt";

// Writes the whole data set into the folder `dir` (created when missing): 31 map files,
// 31 NPC files, KOEGA.EXE, KOGAME.EXE, shapes24.bmp, shapes32.bmp, the list of planted
// mismatches and the shape names.
int write_sample_data(const char* dir) noexcept;

#endif
