// SPDX-License-Identifier: MIT
// Every text kopc_import prints of its own, in one place.
#ifndef KOPC_IMPORT_MESSAGES_H
#define KOPC_IMPORT_MESSAGES_H

namespace import_text {

constexpr const char* notes[] = {
    "read the Tiled maps (.tmx) that kopc_tmx wrote in TMX-FOLDER, as Tiled saved them,",
    "and write the map and NPC files they change back into DATA-PATH",
};

// Before anything is read.
constexpr char leftover_fmt[] =
    "error: '%s' was left by a run that stopped while writing the game files: compare it with "
    "the file it is named after, keep the right one and remove it\n";
constexpr char folder_fmt[] = "error: read folder '%s'\n";
constexpr char no_maps_fmt[] = "error: no Tiled map (.tmx) in '%s'\n";

// One TMX file against the game's files.
constexpr char unknown_files_fmt[] =
    "error: '%s' holds map file '%s' and NPC file '%s', which are no pair of the game's: write "
    "the map again with kopc_tmx\n";
constexpr char twice_fmt[] =
    "error: '%s' and '%s' both hold map file '%s': move one of them out of the folder\n";
constexpr char base_fmt[] =
    "error: '%s' was made from other files than '%s' and '%s' (they changed since, or it comes "
    "from another copy of the game): write the map again with kopc_tmx and edit it again\n";
constexpr char options_fmt[] =
    "error: '%s' has options '%s', which kopc_tmx does not write: write the map again with "
    "kopc_tmx\n";
constexpr char other_layers_fmt[] = "'%s': layers not read: %s\n";
constexpr char objects_ignored_fmt[] =
    "'%s': written with %s, it carries tile edits only: its NPC objects' changes stay out\n";

// One TMX file's NPC objects.
constexpr char hidden_fmt[] =
    "error: '%s' object %d is changed but hidden: show it, or delete it, in Tiled\n";
constexpr char off_map_fmt[] =
    "error: '%s' object %d stands off the map, at cell (%d, %d): move it onto the map in Tiled\n";
constexpr char tile_zero_fmt[] =
    "error: '%s' object %d shows tile 0, which no NPC shows: give it another tile, or delete it, "
    "in Tiled\n";
constexpr char two_visible_fmt[] =
    "error: '%s' objects %d and %d are both visible on cell (%d, %d): move or delete one in "
    "Tiled\n";
constexpr char lands_fmt[] =
    "error: '%s' object %d lands on cell (%d, %d), where slot %d stands: move it to another cell "
    "in Tiled\n";
constexpr char no_slot_fmt[] =
    "error: '%s' adds an NPC to %s, whose 32 slots are all in use: delete another NPC object in "
    "Tiled\n";
constexpr char uncovered_fmt[] =
    "'%s' cell (%d, %d): slot %d, which another slot hid there, is now drawn (Tiled could not "
    "show it)\n";

// What changes, and the writing of it.
constexpr char refused[] = "error: no game file written";
constexpr char unchanged[] = "the game files already hold every map: nothing to write";
constexpr char tiles_changed_fmt[] = "'%s': %d of 4096 tiles changed\n";
constexpr char slots_changed_fmt[] = "'%s': %s\n";
constexpr char slot_moved_fmt[] = "slot %d moved to (%d, %d)";
constexpr char slot_added_fmt[] = "slot %d added at (%d, %d)";
constexpr char slot_freed_fmt[] = "slot %d freed";
constexpr char slot_retiled_fmt[] = "slot %d shows %02X:%d";
constexpr char slot_ground_fmt[] = "slot %d ground %02X:%d";
constexpr char question_fmt[] = "replace %d game files ?";
constexpr char read_fmt[] = "error: read '%s'\n";
constexpr char write_fmt[] = "error: write game file '%s'\n";
constexpr char write_set[] = "error: write game files: the old ones stay as they were";
constexpr char replace_set[] = "error: replace game files: the old ones are back in place";

} // namespace import_text

#endif
