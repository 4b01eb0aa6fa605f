// SPDX-License-Identifier: MIT
// The map catalogue and the time-door table: constant data, read only.
#include "gamedata/gamedata.h"

// door set, keep map on mismatch, map file, NPC file, output file, title
const MapEntry map_catalogue[map_count] = {
    {0, 0, "MAPX00", "MONX00", "ko.Elderdays.bmp", "Elderdays"},
    {-1, 0, "MAPX03", "MONX03", "ko.Elderdays.Vesper's_Keep.bmp", "Elderdays Vesper's Keep"},
    {1, 0, "MAPX10", "MONX10", "ko.Firstland.bmp", "Firstland"},
    {-1, 0, "MAPX11", "MONX11", "ko.Firstland.Orrin's_Town.bmp", "Firstland Orrin's Town"},
    {2, 0, "MAPX20", "MONX20", "ko.OE.bmp", "O.E."},
    {-1, 0, "MAPX21", "MONX21", "ko.OE.Le_Falcon.bmp", "O.E. Le Falcon"},
    {-1, 0, "MAPX22", "MONX22", "ko.OE.Towne_Arla.bmp", "O.E. Towne Arla"},
    {-1, 0, "MAPX23", "MONX23", "ko.OE.Regent's_Castle.bmp", "O.E. Regent's Castle"},
    {3, 0, "MAPX30", "MONX30", "ko.NE.bmp", "N.E."},
    {-1, 0, "MAPX31", "MONX31", "ko.NE.Port_Caldera.bmp", "N.E. Port Caldera"},
    {-1, 0, "MAPX32", "MONX32", "ko.NE.New_Corvale.bmp", "N.E. New Corvale"},
    {-1, 0, "MAPX33", "MONX33", "ko.NE.Regent's_Castle.bmp", "N.E. Regent's Castle"},
    {4, 0, "MAPX40", "MONX40", "ko.Ashfall.bmp", "Ashfall"},
    {-1, 0, "MAPX41", "MONX41", "ko.Ashfall.Smuggler's_Cove.bmp", "Ashfall Smuggler's Cove"},
    {-1, 0, "MAPG10", "MONG10", "ko.Kessa.bmp", "Kessa"},
    {-1, 0, "MAPG20", "MONG20", "ko.Orvel.bmp", "Orvel"},
    {-1, 0, "MAPG30", "MONG30", "ko.Drun.bmp", "Drun"},
    {-1, 0, "MAPG32", "MONG32", "ko.Drun.Towne_Bessa.bmp", "Drun Towne Bessa"},
    {-1, 0, "MAPG40", "MONG40", "ko.Halvar.bmp", "Halvar"},
    {-1, 1, "MAPG41", "MONG41", "ko.Halvar.Hamlet.bmp", "Halvar Hamlet"},
    {-1, 0, "MAPG50", "MONG50", "ko.Sennet.bmp", "Sennet"},
    {-1, 0, "MAPG60", "MONG60", "ko.Tolm.bmp", "Tolm"},
    {-1, 0, "MAPG61", "MONG61", "ko.Tolm.New_Falcon.bmp", "Tolm New Falcon"},
    {-1, 0, "MAPG70", "MONG70", "ko.Wyss.bmp", "Wyss"},
    {-1, 0, "MAPG71", "MONG71", "ko.Wyss.Signal_Camp.bmp", "Wyss Signal Camp"},
    {-1, 0, "MAPG80", "MONG80", "ko.Brisk.bmp", "Brisk"},
    {-1, 0, "MAPG81", "MONG81", "ko.Brisk.Rennerville.bmp", "Brisk Rennerville"},
    {-1, 0, "MAPG82", "MONG82", "ko.Brisk.Town_Hollis.bmp", "Brisk Town Hollis"},
    {-1, 0, "MAPG90", "MONG90", "ko.Q.bmp", "Q"},
    {-1, 0, "MAPG92", "MONG92", "ko.Q.Towne_Dorvik.bmp", "Q Towne Dorvik"},
    {-1, 0, "MAPG93", "MONG93", "ko.Q.Ilva's_Palace.bmp", "Q Ilva's Palace"},
};

// Tile positions (x, y) of the four time doors of each door set.
const DoorPosition time_door_table[door_set_count][doors_per_set] = {
    {{29, 56}, {31, 56}, {33, 56}, {35, 56}}, {{34, 8}, {47, 28}, {20, 37}, {36, 56}},
    {{16, 16}, {19, 52}, {42, 24}, {48, 24}}, {{28, 12}, {33, 23}, {20, 52}, {56, 52}},
    {{8, 11}, {18, 23}, {52, 24}, {50, 34}},
};
