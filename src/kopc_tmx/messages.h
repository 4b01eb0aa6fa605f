// SPDX-License-Identifier: MIT
// Every text kopc_tmx prints of its own, in one place.
#ifndef KOPC_TMX_MESSAGES_H
#define KOPC_TMX_MESSAGES_H

namespace tmx_text {

constexpr const char* notes[] = {
    "write every map as a Tiled map (.tmx) and their tileset (ko.tiles.tsx, ko.tiles.png)",
    "into the current directory",
};
constexpr char write_fmt[] = "error: write Tiled file '%s'\n";
constexpr char write_set[] = "error: write Tiled files: the old ones stay as they were";
constexpr char replace_set[] = "error: replace Tiled files: the old ones are back in place";
constexpr char edited_fmt[] = "'%s' was edited since kopc_tmx wrote it\n";
constexpr char replaced_edited_fmt[] = "replaced '%s', edited since kopc_tmx wrote it\n";
constexpr char compress_fmt[] = "error: compress tileset image '%s'\n";

} // namespace tmx_text

#endif
