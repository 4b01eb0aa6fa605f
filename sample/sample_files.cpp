// SPDX-License-Identifier: MIT
// Writes the sample data set: the map and NPC files under the catalogue's names, two
// stand-in executables with the shape blocks at the offsets the program reads, shape bitmaps
// with the same tiles at twice the size in 24 bits and four times the size in 32 bits, and
// the list of planted mismatches and the names of the shapes, for --names.
#include "sample.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

static const char msg_memory[] = "error: memory exhausted!";
static const char fmt_folder[] = "error: create folder '%s'\n";
static const char fmt_open[] = "error: open '%s'\n";
static const char fmt_write[] = "error: write '%s'\n";
static const char fmt_done[] = "wrote the sample world into '%s'\n";

namespace {

constexpr size_t executable_tail = 0x1200;   // filler behind the shape block
constexpr uint16_t cga_record_lead = 0x1004; // 4 bytes a row, 16 rows
constexpr char executable_note[] =
    "kopc_map sample world: a stand-in file that only carries tile shapes, not a program.";

int write_file(const std::string& path, const void* data, size_t length) {
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        std::printf(fmt_open, path.c_str());
        return -1;
    }
    const bool written = std::fwrite(data, 1, length, file.get()) == length;
    if (!written || std::fclose(file.release()) != 0) {
        std::printf(fmt_write, path.c_str());
        return -1;
    }
    return 0;
}

// A stand-in executable: a note and filler, the shape block at `offset`, more filler.
std::vector<uint8_t> make_executable(long offset, const std::vector<uint8_t>& block,
                                     uint32_t seed) {
    std::vector<uint8_t> bytes(static_cast<size_t>(offset) + block.size() + executable_tail);
    Rng rng = {seed};
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(next_random(&rng) >> 24);
    }
    std::memcpy(bytes.data(), executable_note, sizeof executable_note);
    std::memcpy(bytes.data() + offset, block.data(), block.size());
    return bytes;
}

// A shape bitmap of the same tiles, `scale` times the size, in 24 or 32 bits (the fourth
// byte of a 32-bit pixel 0).
int write_shape_bitmap(const std::string& path, const std::vector<uint8_t>& sheet, uint32_t scale,
                       uint16_t bit_count) {
    const uint32_t width = exe_sheet_width * scale;
    const uint32_t height = sheet_tiles_down * exe_tile_size * scale;
    const uint32_t bytes_per_pixel = bit_count / 8;
    PixelBuffer pixels(size_t{width} * height * bytes_per_pixel, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t index = sheet[(y / scale) * exe_sheet_width + x / scale];
            const PaletteEntry& colour = exe_palette[index & 15];
            uint8_t* out = &pixels[(size_t{y} * width + x) * bytes_per_pixel];
            out[0] = colour.blue;
            out[1] = colour.green;
            out[2] = colour.red;
        }
    }
    BitmapHeader header;
    if (create_bitmap_header(&header, width, height, bit_count) != 0) {
        return -1;
    }
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        std::printf(fmt_open, path.c_str());
        return -1;
    }
    if (write_bitmap(file.get(), header, nullptr, pixels) != 0 ||
        std::fclose(file.release()) != 0) {
        std::printf(fmt_write, path.c_str());
        return -1;
    }
    return 0;
}

int write_planted_list(const std::string& path, const PlantedMismatches& planted) {
    std::string text = "# catalogue row, NPC slot: the slots that disagree with their map\n";
    for (int i = 0; i < planted.count; ++i) {
        text += std::to_string(planted.items[i].row) + ' ' + std::to_string(planted.items[i].slot) +
                '\n';
    }
    return write_file(path, text.data(), text.size());
}

// The shapes' names, in sheet order (see SampleShape), as a --names file.
constexpr const char* shape_names[shape_count] = {
    "water",   "shallows",  "grass",      "scrub",       "forest",      "hills",       "mountains",
    "sand",    "swamp",     "lava",       "snow",        "road",        "bridge",      "town",
    "castle",  "cave",      "brick wall", "stone wall",  "stone floor", "wood floor",  "door",
    "window",  "street",    "counter",    "table",       "bed",         "chest",       "fountain",
    "throne",  "shop sign", "tent",       "flowers",     "peasant",     "townswoman",  "sailor",
    "guard",   "merchant",  "bard",       "mage",        "regent",      "healer",      "smith",
    "jester",  "beggar",    "ranger",     "child",       "hero",        "horse",       "time door",
    "orc",     "skeleton",  "rat",        "snake",       "dragon",      "ghost",       "slime",
    "bat",     "spider",    "wolf",       "sea serpent", "demon",       "pirate ship", "whirlpool",
    "campfire"};

int write_names(const std::string& path) {
    std::string text = "# kopc_map sample world: shape code (hex) and name\n";
    for (int i = 0; i < shape_count; ++i) {
        char code[4];
        std::snprintf(code, sizeof code, "%02X ", i);
        text += code + std::string(shape_names[i]) + '\n';
    }
    return write_file(path, text.data(), text.size());
}

int write_everything(const char* dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::printf(fmt_folder, dir);
        return -1;
    }
    const std::string folder = std::string(dir) + '/';

    std::vector<MapBlock> blocks(map_count);
    PlantedMismatches planted{};
    build_sample_world(blocks.data(), &planted);
    for (int row = 0; row < map_count; ++row) {
        if (write_file(folder + map_catalogue[row].map_file, blocks[row].tiles,
                       sizeof blocks[row].tiles) != 0 ||
            write_file(folder + map_catalogue[row].mon_file, &blocks[row].npc,
                       sizeof blocks[row].npc) != 0) {
            return -1;
        }
    }

    std::vector<uint8_t> sheet(exe_sheet_size);
    std::vector<uint8_t> cga_sheet(exe_sheet_size);
    draw_sample_shapes(sheet.data());
    reduce_to_cga(cga_sheet.data(), sheet.data());
    std::vector<uint8_t> ega_block(ega_block_size);
    std::vector<uint8_t> cga_block(cga_block_size);
    encode_ega_shapes(ega_block.data(), sheet.data());
    encode_cga_shapes(cga_block.data(), cga_sheet.data(), cga_record_lead);
    const std::vector<uint8_t> ega_exe = make_executable(ega_block_offset, ega_block, 0xE6A);
    const std::vector<uint8_t> cga_exe = make_executable(cga_block_offset, cga_block, 0xC6A);
    if (write_file(folder + ega_executable, ega_exe.data(), ega_exe.size()) != 0 ||
        write_file(folder + cga_executable, cga_exe.data(), cga_exe.size()) != 0 ||
        // Tiles of 32 x 32 pixels (maps of 2048 x 2048, 12 MiB) and of 64 x 64 (4096 x 4096,
        // 64 MiB: far larger than the caches).
        write_shape_bitmap(folder + "shapes24.bmp", sheet, 2, 24) != 0 ||
        write_shape_bitmap(folder + "shapes32.bmp", sheet, 4, 32) != 0 ||
        write_planted_list(folder + planted_list_file, planted) != 0 ||
        write_names(folder + sample_names_file) != 0) {
        return -1;
    }
    std::printf(fmt_done, dir);
    return 0;
}

} // namespace

int write_sample_data(const char* dir) noexcept {
    try {
        return write_everything(dir);
    } catch (const std::bad_alloc&) {
        std::puts(msg_memory);
        return -1;
    } catch (const std::exception&) {
        std::printf(fmt_folder, dir);
        return -1;
    }
}
