// SPDX-License-Identifier: MIT
// The TMX and TSX texts and the tileset image. The texts are byte for byte what Tiled 1.8
// writes when it saves the same map: its XML declaration, one space of indent per level,
// attributes in its order, CSV rows with a comma after every value but the last, properties
// sorted by name, and in values only & < > " (and line breaks) escaped, not '.
#include "tmx.h"
#include "gamedata/gamedata.h"
#include "png/png.h"
#include "render/render.h"
#include "run/run.h"

#include <cstring>

namespace {

constexpr char xml_declaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr char tiled_version[] = "version=\"1.8\" tiledversion=\"1.8.2\"";

// The map's layers, by their ids in Tiled's order, and the id Tiled gives the next one.
enum LayerId { layer_tiles = 1, layer_npcs, layer_doors, next_layer_id };

// The length of the well-formed UTF-8 character at `c` (no overlong form, no surrogate,
// nothing above U+10FFFF), 0 when its first byte begins none. Reads no byte past a
// terminating zero.
std::size_t utf8_length(const unsigned char* c) {
    const int lead = c[0];
    if (lead < 0x80) {
        return 1;
    }
    // The lead byte gives the length and the range of the second byte; every further byte
    // is 80-BF.
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const int low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const int high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (lead < 0xC2 || lead > 0xF4 || c[1] < low || c[1] > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((c[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// `text` as an attribute value, escaped as Tiled's XML writer escapes it. Text that comes
// from file names may be any bytes: each byte that begins no well-formed UTF-8 character
// becomes U+FFFD, and so does each character XML forbids (the C0 controls but tab, line feed
// and carriage return; U+FFFE and U+FFFF), so that a strict XML parser, and Tiled, read
// every file whole.
void put_value(std::FILE* file, const char* text) {
    const unsigned char* c = reinterpret_cast<const unsigned char*>(text);
    while (*c != '\0') {
        const std::size_t length = utf8_length(c);
        const bool forbidden = length == 0 ||
                               (*c < 0x20 && *c != '\t' && *c != '\n' && *c != '\r') ||
                               (length == 3 && c[0] == 0xEF && c[1] == 0xBF && c[2] >= 0xBE);
        switch (forbidden ? 0 : *c) {
        case 0:
            std::fputs("\xEF\xBF\xBD", file);
            break;
        case '&':
            std::fputs("&amp;", file);
            break;
        case '<':
            std::fputs("&lt;", file);
            break;
        case '>':
            std::fputs("&gt;", file);
            break;
        case '"':
            std::fputs("&quot;", file);
            break;
        case '\t':
        case '\n':
        case '\r':
            std::fprintf(file, "&#%d;", *c);
            break;
        default:
            std::fwrite(c, 1, length, file);
        }
        c += length == 0 ? 1 : length;
    }
}

// A string property at `indent` spaces.
void put_property(std::FILE* file, int indent, const char* name, const char* value) {
    std::fprintf(file, "%*s<property name=\"%s\" value=\"", indent, "", name);
    put_value(file, value);
    std::fputs("\"/>\n", file);
}

void put_typed_property(std::FILE* file, int indent, const char* name, const char* type,
                        const char* value) {
    std::fprintf(file, "%*s<property name=\"%s\" type=\"%s\" value=\"%s\"/>\n", indent, "", name,
                 type, value);
}

// A tile byte as the mismatch lines write it: its shape in hex, then its low bits ("3A:0").
// Room for "3A:0" and more: the compiler cannot always see that a byte's shape is 2 digits.
constexpr std::size_t code_size = 16;
void tile_code(uint8_t byte, char code[code_size]) {
    std::snprintf(code, code_size, "%02X:%d", byte / tile_variants, byte % tile_variants);
}

// The name of a tile byte's shape: its name from the names file, else its code ("3A"), made
// in `code`.
const char* shape_name(const ShapeNames* names, int byte, char code[code_size]) {
    const std::string* name = names != nullptr ? &names->name[byte / tile_variants] : nullptr;
    std::snprintf(code, code_size, "%02X", byte / tile_variants);
    return name != nullptr && !name->empty() ? name->c_str() : code;
}

// A tile object named `name` of type `type`: `byte`'s tile standing on cell (x, y); Tiled
// places a tile object by its lower left corner.
void put_tile_object(std::FILE* file, int id, const char* name, const char* type, int byte, int x,
                     int y, const ShapeSet& shapes, bool visible, bool closed) {
    std::fprintf(file, "  <object id=\"%d\" name=\"", id);
    put_value(file, name);
    std::fprintf(
        file, "\" type=\"%s\" gid=\"%d\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"%s%s\n", type,
        byte + 1, x * shapes.tile_width, (y + 1) * shapes.tile_height, shapes.tile_width,
        shapes.tile_height, visible ? "" : " visible=\"0\"", closed ? "/>" : ">");
}

} // namespace

void tmx_file_name(int map, char name[tmx_name_size]) noexcept {
    const char* bmp = map_catalogue[map].output_file;
    std::snprintf(name, tmx_name_size, "%.*s.tmx", static_cast<int>(file_stem_length(bmp)), bmp);
}

bool build_tileset_image(const ShapeSet& shapes, PixelBuffer* pixels) noexcept {
    const std::size_t span = static_cast<std::size_t>(shapes.tile_width) * shapes.bytes_per_pixel;
    const std::size_t lines = static_cast<std::size_t>(shapes.tile_height) * sheet_tiles_down;
    if (!grow_buffer(pixels, span * tileset_columns * lines)) {
        return false;
    }
    uint8_t* to = pixels->data();
    for (std::size_t line = 0; line < lines; ++line) {
        const uint8_t* from = shapes.pixels.data() + line * span * sheet_tiles_across;
        for (int tile = 0; tile < tileset_columns; ++tile, to += span) {
            std::memcpy(to, from + (tile / tile_variants) * span, span);
        }
    }
    return true;
}

void choose_paint_tiles(const std::vector<MapBlock>& blocks, uint8_t paint[shape_count]) noexcept {
    long uses[tileset_tiles] = {};
    for (const MapBlock& block : blocks) {
        for (const uint8_t byte : block.tiles) {
            ++uses[byte];
        }
    }
    for (int shape = 0; shape < shape_count; ++shape) {
        int best = shape * tile_variants;
        for (int byte = best + 1; byte < (shape + 1) * tile_variants; ++byte) {
            best = uses[byte] > uses[best] ? byte : best;
        }
        paint[shape] = static_cast<uint8_t>(best);
    }
}

void write_tileset(std::FILE* file, const ShapeSet& shapes, const ShapeNames* names,
                   const uint8_t paint[shape_count]) noexcept {
    std::fprintf(file,
                 "%s<tileset %s name=\"%s\" tilewidth=\"%d\" tileheight=\"%d\" tilecount=\"%d\" "
                 "columns=\"%d\">\n <image source=\"%s\" width=\"%d\" height=\"%d\"/>\n",
                 xml_declaration, tiled_version, tileset_name, shapes.tile_width,
                 shapes.tile_height, tileset_tiles, tileset_columns, tileset_image_file,
                 shapes.tile_width * tileset_columns, shapes.tile_height * sheet_tiles_down);
    // Every tile tells which copy of its shape it is, and whether it is the copy to paint.
    for (int id = 0; id < tileset_tiles; ++id) {
        char code[code_size];
        std::fprintf(file, " <tile id=\"%d\">\n  <properties>\n", id);
        tile_code(id, code);
        put_property(file, 3, "code", code);
        if (names != nullptr) {
            put_property(file, 3, "name", shape_name(names, id, code));
        }
        put_typed_property(file, 3, "paint", "bool",
                           paint[id / tile_variants] == id ? "true" : "false");
        std::fputs("  </properties>\n </tile>\n", file);
    }
    std::fputs("</tileset>\n", file);
}

bool tmx_edited(const char* name) noexcept {
    TiledMap map;
    char digest[digest_text_size];
    if (read_tiled_map(name, &map, 1) != 0) {
        return true;
    }
    content_digest(map.tiles, map.npcs, digest);
    return map.content != digest;
}

void write_tmx_map(std::FILE* file, const RunOptions& options, const ShapeSet& shapes, int map,
                   const MapBlock& block, const MapReport& report, const TmxContent& content,
                   const ShapeNames* names) noexcept {
    const MapEntry& entry = map_catalogue[map];
    const NpcRecord& npc = block.npc;
    const DoorPosition* doors = report.doors;
    const int npc_objects = static_cast<int>(content.npcs.size());
    const int objects = npc_objects + (doors != nullptr ? doors_per_set : 0);
    std::fprintf(file,
                 "%s<map %s orientation=\"orthogonal\" renderorder=\"right-down\" width=\"%d\" "
                 "height=\"%d\" tilewidth=\"%d\" tileheight=\"%d\" infinite=\"0\" "
                 "nextlayerid=\"%d\" nextobjectid=\"%d\">\n <properties>\n",
                 xml_declaration, tiled_version, map_tiles_across, map_tiles_down,
                 shapes.tile_width, shapes.tile_height, next_layer_id, objects + 1);
    // Sorted by name, as Tiled writes them: the digests of the game files the map was made
    // from and of the content written here, then the files' names; the NPC file's first 256
    // bytes in hex: all eight arrays of every slot, also those no object shows.
    char digest[digest_text_size];
    block_digest(block, digest);
    put_property(file, 2, "base", digest);
    content_digest(content.tiles, content.npcs, digest);
    put_property(file, 2, "content", digest);
    put_property(file, 2, "map_file", entry.map_file);
    put_property(file, 2, "npc_file", entry.mon_file);
    std::fputs("  <property name=\"npc_record\" value=\"", file);
    const uint8_t* record = reinterpret_cast<const uint8_t*>(&npc);
    for (std::size_t i = 0; i < sizeof npc; ++i) {
        std::fprintf(file, "%02x", record[i]);
    }
    std::fputs("\"/>\n", file);
    char typed[run_options_text_size];
    format_run_options(typed, options);
    put_property(file, 2, "options", typed);
    put_property(file, 2, "title", entry.title);
    std::fprintf(file,
                 " </properties>\n <tileset firstgid=\"1\" source=\"%s\"/>\n"
                 " <layer id=\"%d\" name=\"tiles\" width=\"%d\" height=\"%d\">\n"
                 "  <data encoding=\"csv\">\n",
                 tileset_file, layer_tiles, map_tiles_across, map_tiles_down);
    for (std::size_t i = 0; i < map_file_size; ++i) {
        const bool last = i + 1 == map_file_size;
        const bool row_end = (i + 1) % map_tiles_across == 0;
        std::fprintf(file, "%d%s", content.tiles[i] + 1, last ? "\n" : row_end ? ",\n" : ",");
    }
    std::fputs("</data>\n </layer>\n", file);

    // Each slot that stands on the map, showing the tile the run draws for it, named after
    // that tile's shape; its tiles are coded as the mismatch lines write them.
    std::fprintf(file, " <objectgroup id=\"%d\" name=\"npcs\"%s\n", layer_npcs,
                 npc_objects > 0 ? ">" : "/>");
    int id = 0;
    for (const TiledObject& object : content.npcs) {
        const int s = object.slot;
        char name[code_size], ground[code_size], shown[code_size], slot[4];
        tile_code(npc.ground[s], ground);
        tile_code(npc.shown[s], shown);
        std::snprintf(slot, sizeof slot, "%d", s);
        put_tile_object(file, ++id, shape_name(names, object.tile, name), "npc", object.tile,
                        object.column, object.row, shapes, object.visible != 0, false);
        std::fputs("   <properties>\n", file);
        put_typed_property(file, 4, "drawn", "bool", report.taken[s] != 0 ? "true" : "false");
        put_property(file, 4, "ground", ground);
        put_typed_property(file, 4, "mismatch", "bool", report.mismatch[s] != 0 ? "true" : "false");
        put_property(file, 4, "shown", shown);
        put_typed_property(file, 4, "slot", "int", slot);
        std::fputs("   </properties>\n  </object>\n", file);
    }
    if (npc_objects > 0) {
        std::fputs(" </objectgroup>\n", file);
    }

    // The doors are shown and hidden with their layer: toggling it in Tiled shows them.
    std::fprintf(file, " <objectgroup id=\"%d\" name=\"time doors\"%s%s\n", layer_doors,
                 doors != nullptr && report.doors_drawn == 0 ? " visible=\"0\"" : "",
                 doors != nullptr ? ">" : "/>");
    for (int d = 0; doors != nullptr && d < doors_per_set; ++d) {
        put_tile_object(file, ++id, "time door", "door", time_door_tile, doors[d].x, doors[d].y,
                        shapes, true, true);
    }
    std::fputs(doors != nullptr ? " </objectgroup>\n</map>\n" : "</map>\n", file);
}
