// Loading of the fixed-size map tile files and NPC/monster files of every map.
#include "gamedata.h"

#include "../platform/platform.h"

#include <new>

static const char msg_memory[] = "error: memory exhausted!";
static const char fmt_open[] = "error: open '%s'\n";
static const char fmt_read[] = "error: read '%s'\n";
static const char fmt_read_map[] = "error: read map data '%s'\n";
static const char fmt_read_npc[] = "error: read npc data '%s'\n";

const char* join_data_path(const char* data_path, const char* file_name,
                           std::string* joined) noexcept {
    if (data_path == nullptr) {
        return file_name;
    }
    // Always one backslash, even after a path that already ends in a separator.
    try {
        joined->append(data_path).append(1, '\\').append(file_name);
    } catch (const std::bad_alloc&) {
        std::puts(msg_memory);
        return nullptr;
    }
    return joined->c_str();
}

int read_data_file(const char* data_path, const char* file_name, uint8_t* buffer,
                   size_t count) noexcept {
    std::string joined;
    const char* path = join_data_path(data_path, file_name, &joined);
    if (path == nullptr) {
        return -1;
    }
    const FilePtr file(platform_open_read(path));
    if (!file) {
        std::printf(fmt_open, path);
        return -1;
    }
    if (std::fread(buffer, count, 1, file.get()) != 1) {
        std::printf(fmt_read, path);
        return -1;
    }
    return 0;
}

int load_map_data(const char* data_path, const MapEntry catalogue[map_count],
                  MapBlock blocks[map_count]) noexcept {
    for (int i = 0; i < map_count; ++i) {
        if (read_data_file(data_path, catalogue[i].map_file, blocks[i].tiles,
                           sizeof blocks[i].tiles) != 0) {
            std::printf(fmt_read_map, catalogue[i].map_file);
            return -1;
        }
        if (read_data_file(data_path, catalogue[i].mon_file,
                           reinterpret_cast<uint8_t*>(&blocks[i].npc), sizeof blocks[i].npc) != 0) {
            std::printf(fmt_read_npc, catalogue[i].mon_file);
            return -1;
        }
    }
    return 0;
}
