// SPDX-License-Identifier: MIT
// The TMX reader: one file read whole through the platform layer, parsed by pugixml (its
// memory from operator new, so that a failed allocation is seen like any other), then checked
// as the import needs it: a 64 x 64 orthogonal map, its tile layer in any encoding Tiled
// writes, every cell one tile of ko.tiles, and the NPC layer's objects plain tile objects.
#include "platform/platform.h"
#include "tiled/messages.h"
#include "tiled/tiled.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <pugixml.hpp>
#include <zlib.h>

namespace {

// Where refusals are told: the file's name for every line, and whether to print them at all
// (a caller that only asks whether a file is a map of ours reads it quietly).
struct Source {
    const char* path;
    int quiet;
};

template <typename... Values> void say(const Source& source, const char* format, Values... values) {
    if (source.quiet == 0) {
        std::printf(format, source.path, values...);
    }
}

// A gid's high bits flip or rotate its tile (horizontal, vertical, diagonal, hexagonal turn).
constexpr uint32_t flip_bits = 0xF0000000u;
constexpr std::size_t gid_bytes = 4; // a gid in a base64 layer: 32 bits, low byte first
constexpr std::size_t layer_bytes = map_file_size * gid_bytes;

void* xml_allocate(std::size_t size) {
    return ::operator new(size, std::nothrow);
}

void xml_release(void* block) {
    ::operator delete(block);
}

// The file at `path`, whole, behind what `text` held (nothing); -1 after its line.
int read_whole(const Source& source, std::vector<char>* text) {
    FilePtr file;
    const int opened = platform_open_regular(source.path, &file);
    if (opened != 0) {
        say(source, opened == -2 ? tiled_text::not_regular_fmt : common_text::open_fmt);
        return -1;
    }
    char chunk[16384];
    std::size_t got = 0;
    do {
        got = std::fread(chunk, 1, sizeof chunk, file.get());
        text->insert(text->end(), chunk, chunk + got); // std::bad_alloc reaches the caller
    } while (got == sizeof chunk);
    if (std::ferror(file.get()) != 0) {
        say(source, tiled_text::read_fmt);
        return -1;
    }
    return 0;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The gids of a CSV layer: numbers separated by commas, white space anywhere between. False
// for anything else, or for more numbers than a layer holds.
bool parse_csv(const char* at, std::vector<uint32_t>* gids) {
    for (;;) {
        while (is_space(*at)) {
            ++at;
        }
        if (*at == '\0' && gids->empty()) {
            return true;
        }
        if (*at < '0' || *at > '9' || gids->size() == map_file_size) {
            return false;
        }
        uint64_t value = 0;
        for (; *at >= '0' && *at <= '9'; ++at) {
            value = value * 10 + static_cast<uint64_t>(*at - '0');
            if (value > UINT32_MAX) {
                return false;
            }
        }
        gids->push_back(static_cast<uint32_t>(value));
        while (is_space(*at)) {
            ++at;
        }
        if (*at == '\0') {
            return true;
        }
        if (*at++ != ',') {
            return false;
        }
    }
}

int base64_value(char c) {
    return c >= 'A' && c <= 'Z'   ? c - 'A'
           : c >= 'a' && c <= 'z' ? c - 'a' + 26
           : c >= '0' && c <= '9' ? c - '0' + 52
           : c == '+'             ? 62
           : c == '/'             ? 63
                                  : -1;
}

// The bytes of base64 text, white space passed over; false for a character outside it.
bool decode_base64(const char* at, std::vector<uint8_t>* bytes) {
    uint32_t bits = 0;
    int count = 0;
    bool padded = false;
    for (; *at != '\0'; ++at) {
        if (is_space(*at)) {
            continue;
        }
        const int value = base64_value(*at);
        padded = padded || *at == '=';
        if (*at == '=') {
            continue;
        }
        if (value < 0 || padded) {
            return false;
        }
        bits = (bits << 6 | static_cast<uint32_t>(value)) & 0xFFFFFFu;
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes->push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    return true;
}

// Inflates a zlib or gzip stream (zlib tells which by its header) that must hold exactly
// `size` bytes into `out`. 0 when it does; -1 when it is damaged or of another size; -2
// when memory ran out.
int inflate_layer(const std::vector<uint8_t>& in, uint8_t* out, std::size_t size) {
    if (in.size() > UINT_MAX) {
        return -1;
    }
    z_stream stream = {};
    const int begun = inflateInit2(&stream, 15 + 32);
    if (begun != Z_OK) {
        return begun == Z_MEM_ERROR ? -2 : -1;
    }
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(size);
    const int result = inflate(&stream, Z_FINISH);
    const bool whole = result == Z_STREAM_END && stream.total_out == size;
    inflateEnd(&stream);
    return whole ? 0 : result == Z_MEM_ERROR ? -2 : -1;
}

// The layer's gids from its <data>, in any encoding Tiled writes but Zstandard. 0 when read;
// -1 after its line.
int read_gids(const Source& source, pugi::xml_node data, std::vector<uint32_t>* gids) {
    const char* encoding = data.attribute("encoding").value();
    const char* compression = data.attribute("compression").value();
    if (*encoding == '\0') { // the old XML form: one <tile gid="..."/> a cell, <tile/> empty
        for (pugi::xml_node tile = data.child("tile"); tile && gids->size() <= map_file_size;
             tile = tile.next_sibling("tile")) {
            gids->push_back(tile.attribute("gid").as_uint(0));
        }
    } else if (std::strcmp(encoding, "csv") == 0) {
        if (!parse_csv(data.child_value(), gids)) {
            gids->clear();
        }
    } else if (std::strcmp(encoding, "base64") == 0 &&
               (*compression == '\0' || std::strcmp(compression, "zlib") == 0 ||
                std::strcmp(compression, "gzip") == 0)) {
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> layer(layer_bytes);
        if (!decode_base64(data.child_value(), &bytes)) {
            bytes.clear();
        }
        if (*compression == '\0') {
            layer.swap(bytes);
        } else {
            const int inflated = inflate_layer(bytes, layer.data(), layer.size());
            if (inflated == -2) {
                throw std::bad_alloc();
            }
            layer.resize(inflated == 0 ? layer_bytes : 0);
        }
        for (std::size_t i = 0; layer.size() == layer_bytes && i < layer_bytes; i += gid_bytes) {
            gids->push_back(get_le32(&layer[i]));
        }
    } else {
        char format[64];
        std::snprintf(format, sizeof format, "%s%s%s", encoding, *compression ? " " : "",
                      compression);
        say(source, tiled_text::encoding_fmt, format);
        return -1;
    }
    if (gids->size() != map_file_size) {
        say(source, tiled_text::damaged_fmt);
        return -1;
    }
    return 0;
}

// The map's string property `name`, or null.
const char* find_property(pugi::xml_node map, const char* name) {
    const pugi::xml_node property =
        map.child("properties").find_child_by_attribute("property", "name", name);
    if (!property) {
        return nullptr;
    }
    const pugi::xml_attribute value = property.attribute("value");
    return value ? value.value() : property.child_value(); // long texts are the element's
}

// Whether `tileset` is ko.tiles: the shared file by its name, or embedded by its name.
bool is_our_tileset(pugi::xml_node tileset) {
    const char* source = tileset.attribute("source").value();
    if (*source == '\0') {
        return std::strcmp(tileset.attribute("name").value(), tileset_name) == 0;
    }
    const char* name = source;
    for (const char* c = source; *c != '\0'; ++c) {
        name = *c == '/' || *c == '\\' ? c + 1 : name;
    }
    return std::strcmp(name, tileset_file) == 0;
}

// The cell a coordinate lies in, -1 or 64 for any place before or past the map (NaN before).
int cell_of(double at, int size) {
    const double cell = std::floor(at / size);
    return !(cell >= -1.0) ? -1 : cell >= map_tiles_across ? map_tiles_across : int(cell);
}

// The tile layer's cells as tile bytes; -1 after the line of the first cell refused.
int read_cells(const Source& source, const std::vector<uint32_t>& gids, uint32_t first_gid,
               TiledMap* map) {
    for (std::size_t cell = 0; cell < map_file_size; ++cell) {
        const uint32_t gid = gids[cell];
        const char* refused = (gid & flip_bits) != 0 ? tiled_text::flipped_cell_fmt
                              : gid == 0             ? tiled_text::empty_cell_fmt
                              : gid < first_gid || gid - first_gid >= tileset_tiles
                                  ? tiled_text::foreign_cell_fmt
                                  : nullptr;
        if (refused != nullptr) {
            say(source, refused, static_cast<int>(cell % map_tiles_across),
                static_cast<int>(cell / map_tiles_across));
            return -1;
        }
        map->tiles[cell] = static_cast<uint8_t>(gid - first_gid);
    }
    return 0;
}

// The NPC layer's objects, each a plain tile object of ko.tiles; -1 after the line of the
// first one refused.
int read_objects(const Source& source, pugi::xml_node layer, uint32_t first_gid, TiledMap* map) {
    const double width = map->tile_width, height = map->tile_height;
    for (pugi::xml_node object = layer.child("object"); object;
         object = object.next_sibling("object")) {
        TiledObject o;
        o.id = object.attribute("id").as_int(0);
        bool repeated = o.id <= 0;
        for (const TiledObject& before : map->npcs) {
            repeated = repeated || before.id == o.id;
        }
        const pugi::xml_attribute gid_text = object.attribute("gid");
        const uint32_t gid = gid_text.as_uint(0);
        const double w = object.attribute("width").as_double(width);
        const double h = object.attribute("height").as_double(height);
        const char* refused =
            repeated                                              ? tiled_text::object_id_fmt
            : object.attribute("template")                        ? tiled_text::template_fmt
            : gid == 0                                            ? tiled_text::not_tile_object_fmt
            : (gid & flip_bits) != 0                              ? tiled_text::flipped_object_fmt
            : object.attribute("rotation").as_double(0) != 0      ? tiled_text::rotated_fmt
            : w != width || h != height                           ? tiled_text::resized_fmt
            : gid < first_gid || gid - first_gid >= tileset_tiles ? tiled_text::foreign_object_fmt
                                                                  : nullptr;
        if (refused != nullptr) {
            say(source, refused, o.id, map->tile_width, map->tile_height);
            return -1;
        }
        // A tile object stands on its lower left corner: its centre is half a tile up.
        o.tile = static_cast<uint8_t>(gid - first_gid);
        o.column = cell_of(object.attribute("x").as_double(0) + w / 2, map->tile_width);
        o.row = cell_of(object.attribute("y").as_double(0) - h / 2, map->tile_height);
        o.visible = object.attribute("visible").as_int(1) != 0 ? 1 : 0;
        const pugi::xml_node slot =
            object.child("properties").find_child_by_attribute("property", "name", "slot");
        o.slot = slot ? slot.attribute("value").as_int(-1) : -1;
        map->npcs.push_back(o);
    }
    return 0;
}

int read_document(const Source& source, const pugi::xml_document& document, TiledMap* map) {
    const pugi::xml_node root = document.child("map");
    if (!root) {
        say(source, tiled_text::not_map_fmt);
        return -1;
    }
    map->tile_width = root.attribute("tilewidth").as_int(0);
    map->tile_height = root.attribute("tileheight").as_int(0);
    const int across = root.attribute("width").as_int(0);
    const int down = root.attribute("height").as_int(0);
    if (root.attribute("infinite").as_int(0) != 0) {
        say(source, tiled_text::infinite_fmt);
        return -1;
    }
    if (std::strcmp(root.attribute("orientation").value(), "orthogonal") != 0) {
        say(source, tiled_text::orientation_fmt);
        return -1;
    }
    if (across != map_tiles_across || down != map_tiles_down || map->tile_width <= 0 ||
        map->tile_height <= 0) {
        say(source, tiled_text::size_fmt, across, down, map->tile_width, map->tile_height);
        return -1;
    }
    std::string* const texts[] = {&map->map_file, &map->npc_file, &map->options, &map->base,
                                  &map->content};
    const char* const names[] = {"map_file", "npc_file", "options", "base", "content"};
    for (std::size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        const char* value = find_property(root, names[i]);
        if (value == nullptr) {
            say(source, tiled_text::no_property_fmt, names[i]);
            return -1;
        }
        texts[i]->assign(value);
    }
    uint32_t first_gid = 0;
    for (pugi::xml_node tileset = root.child("tileset"); tileset && first_gid == 0;
         tileset = tileset.next_sibling("tileset")) {
        first_gid = is_our_tileset(tileset) ? tileset.attribute("firstgid").as_uint(0) : 0;
    }
    if (first_gid == 0) {
        say(source, tiled_text::no_tileset_fmt);
        return -1;
    }
    // The first tile layer "tiles", the first object layer "npcs" and the doors are ours;
    // every other layer is named for the caller.
    pugi::xml_node tiles, npcs, doors;
    for (pugi::xml_node layer = root.first_child(); layer; layer = layer.next_sibling()) {
        const char* kind = layer.name();
        const char* name = layer.attribute("name").value();
        const bool tile_layer = std::strcmp(kind, "layer") == 0;
        const bool object_layer = std::strcmp(kind, "objectgroup") == 0;
        pugi::xml_node* ours = tile_layer && !tiles && std::strcmp(name, tiles_layer) == 0 ? &tiles
                               : object_layer && !npcs && std::strcmp(name, npcs_layer) == 0 ? &npcs
                               : object_layer && !doors && std::strcmp(name, doors_layer) == 0
                                   ? &doors
                                   : nullptr;
        if (ours != nullptr) {
            *ours = layer;
        } else if (tile_layer || object_layer || std::strcmp(kind, "imagelayer") == 0 ||
                   std::strcmp(kind, "group") == 0) {
            map->other_layers.emplace_back(name);
        }
    }
    if (!tiles || tiles.attribute("width").as_int(0) != map_tiles_across ||
        tiles.attribute("height").as_int(0) != map_tiles_down) {
        say(source, tiled_text::no_layer_fmt);
        return -1;
    }
    if (!npcs) { // every NPC would be freed: a renamed or deleted layer is no edit of them
        say(source, tiled_text::no_npcs_fmt);
        return -1;
    }
    std::vector<uint32_t> gids;
    gids.reserve(map_file_size + 1);
    if (read_gids(source, tiles.child("data"), &gids) != 0 ||
        read_cells(source, gids, first_gid, map) != 0) {
        return -1;
    }
    return read_objects(source, npcs, first_gid, map);
}

} // namespace

int read_tiled_map(const char* path, TiledMap* map, int quiet) noexcept {
    const Source source = {path, quiet};
    pugi::set_memory_management_functions(xml_allocate, xml_release);
    try {
        *map = TiledMap{};
        std::vector<char> text;
        if (read_whole(source, &text) != 0) {
            return -1;
        }
        pugi::xml_document document;
        const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
        if (parsed.status == pugi::status_out_of_memory) {
            throw std::bad_alloc();
        }
        if (!parsed) {
            say(source, tiled_text::not_xml_fmt, parsed.description(),
                static_cast<long>(parsed.offset));
            return -1;
        }
        return read_document(source, document, map);
    } catch (const std::bad_alloc&) {
        std::puts(common_text::memory);
        return -1;
    }
}
