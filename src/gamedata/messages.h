// SPDX-License-Identifier: MIT
// Every text the game data loaders print, in one place.
#ifndef KOPC_GAMEDATA_MESSAGES_H
#define KOPC_GAMEDATA_MESSAGES_H

namespace gamedata_text {

constexpr char read_fmt[] = "error: read '%s'\n";
constexpr char seek_fmt[] = "error: seek '%s' 0x%X\n";
constexpr char read_map_fmt[] = "error: read map data '%s'\n";
constexpr char read_npc_fmt[] = "error: read npc data '%s'\n";
constexpr char too_small[] = "error: shape bitmap is too small";
constexpr char illegal_size[] = "error: illegal shape bitmap size";

} // namespace gamedata_text

#endif
