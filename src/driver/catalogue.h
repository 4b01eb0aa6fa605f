// The built-in list of the 31 maps, in the order in which they are loaded, rendered and
// written, and the time-door positions of the five world maps that have them.
#ifndef KOPC_DRIVER_CATALOGUE_H
#define KOPC_DRIVER_CATALOGUE_H

#include <cstdint>

struct MapEntry {
    int32_t door_set;             // index into time_door_table, or -1: no time doors
    int32_t keep_map_on_mismatch; // pass over NPC slots that disagree with the map
    const char* map_file;         // 4096-byte tile file in the data folder
    const char* mon_file;         // 256-byte NPC/monster file in the data folder
    const char* output_file;      // BMP written into the current folder
    const char* title;            // ends every mismatch line
};

struct DoorPosition {
    int32_t x; // tile column 0..63
    int32_t y; // tile row 0..63
};

constexpr int map_count = 31;
constexpr int door_set_count = 5;
constexpr int doors_per_set = 4;
constexpr int time_door_shape = 48;

extern const MapEntry map_catalogue[map_count];
extern const DoorPosition time_door_table[door_set_count][doors_per_set];

#endif
