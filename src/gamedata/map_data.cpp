// SPDX-License-Identifier: MIT
// Loading of the fixed-size map tile files and NPC/monster files of every map, and the
// path of a data file: the data path and the file name joined with a backslash.
#include "gamedata/gamedata.h"
#include "gamedata/messages.h"
#include "platform/platform.h"

#include <cstring>

const char* join_data_path(const char* data_path, const char* file_name,
                           std::string* joined) noexcept {
    if (data_path == nullptr) {
        return file_name;
    }
    // Always one backslash, even after a path that already ends in a separator. Emptied
    // first (its memory stays), so no tail of a longer path joined before is left behind.
    const size_t folder = std::strlen(data_path);
    const size_t name = std::strlen(file_name);
    joined->clear();
    if (!grow_buffer(joined, folder + 1 + name, '\\')) {
        std::puts(common_text::memory);
        return nullptr;
    }
    std::memcpy(&(*joined)[0], data_path, folder);
    std::memcpy(&(*joined)[folder + 1], file_name, name);
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
        std::printf(common_text::open_fmt, path);
        return -1;
    }
    if (std::fread(buffer, count, 1, file.get()) != 1) {
        std::printf(gamedata_text::read_fmt, path);
        return -1;
    }
    return 0;
}

int load_map_data(const char* data_path, const MapEntry catalogue[map_count],
                  MapBlock blocks[map_count]) noexcept {
    for (int i = 0; i < map_count; ++i) {
        if (read_data_file(data_path, catalogue[i].map_file, blocks[i].tiles,
                           sizeof blocks[i].tiles) != 0) {
            std::printf(gamedata_text::read_map_fmt, catalogue[i].map_file);
            return -1;
        }
        if (read_data_file(data_path, catalogue[i].mon_file,
                           reinterpret_cast<uint8_t*>(&blocks[i].npc), sizeof blocks[i].npc) != 0) {
            std::printf(gamedata_text::read_npc_fmt, catalogue[i].mon_file);
            return -1;
        }
    }
    return 0;
}
