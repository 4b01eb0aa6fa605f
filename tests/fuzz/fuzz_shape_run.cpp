// Fuzz target: the run with a shape bitmap, from the file to the saved map.
//
// The whole input is the shape bitmap file; its last bytes double as the run's choices
// (so any BMP is a seed as it is):
//   last byte          bit 0 time doors, bit 1 no NPCs, bit 2 no NPC files, bit 3 ignore
//                      differences, bit 4 save the map and read it back
//   second-last byte   the catalogue row (modulo the number of maps)
//   the 256 before     the NPC record (zeros where the input is shorter)
// The map's tile bytes repeat the input from its start. As the driver does, the image is
// 64 x 64 tiles, refused when a size does not fit 31 bits.
//
// Checks: a loaded shape set is consistent with its file; every cell that no NPC slot can
// change shows its tile's shape (or the time door); a saved map reads back unchanged.
//
// libFuzzer build:  cmake -DKOPC_FUZZ=ON with clang (see .ci/fuzz.sh).
#include "bitmap/bitmap.h"
#include "fuzz_input.h"
#include "gamedata/gamedata.h"
#include "render/render.h"

#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define fuzz_process_id _getpid
#else
#include <unistd.h>
#define fuzz_process_id getpid
#endif

namespace {

constexpr uint64_t max_image_field = 0x7FFFFFFF;        // the MapImage's sizes are 32-bit
constexpr uint64_t max_saved_image = uint64_t{4} << 20; // round trips are slow above this

struct Choices {
    int time_doors;
    int no_npcs;
    int no_mon_files;
    int ignore_diff;
    bool save;
    int row;
};

// A file name of this process in the temporary folder.
std::string temp_name(const char* what) {
    const char* folder = std::getenv("TMPDIR");
#ifdef _WIN32
    if (folder == nullptr) {
        folder = std::getenv("TEMP");
    }
#endif
    std::string name = folder != nullptr ? folder : "/tmp";
    name += "/kopc_fuzz_" + std::to_string(fuzz_process_id()) + "_" + what;
    return name;
}

bool write_file(const std::string& name, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = size == 0 || std::fwrite(data, size, 1, file) == 1;
    return std::fclose(file) == 0 && written;
}

void fill_block(const uint8_t* data, size_t size, MapBlock* block) {
    for (size_t i = 0; i < map_file_size; ++i) {
        block->tiles[i] = data[i % size];
    }
    uint8_t* npc = reinterpret_cast<uint8_t*>(&block->npc);
    std::memset(npc, 0, sizeof block->npc);
    for (size_t k = 0; k < sizeof block->npc; ++k) {
        if (size >= 2 + sizeof block->npc - k) {
            npc[k] = data[size - 2 - sizeof block->npc + k];
        }
    }
}

void check_shapes(const ShapeSet& shapes) {
    FUZZ_CHECK(shapes.tile_width > 0 && shapes.tile_height > 0);
    FUZZ_CHECK(shapes.tiles_across == 16 && shapes.tiles_down == 4);
    FUZZ_CHECK(bitmap_bit_count_supported(shapes.bit_count));
    FUZZ_CHECK(shapes.bytes_per_pixel == (shapes.bit_count + 7) / 8);
    const uint64_t sheet = uint64_t{16} * static_cast<uint32_t>(shapes.tile_width) *
                           shapes.bytes_per_pixel * 4 * static_cast<uint32_t>(shapes.tile_height);
    FUZZ_CHECK(shapes.pixels.size() >= sheet);
    FUZZ_CHECK(shapes.palette.size() ==
               (shapes.bit_count <= 8 ? size_t{1} << shapes.bit_count : size_t{0}));
}

// Cells that the NPC overlay can't touch show the shape of their tile byte; time doors
// show shape 48 wherever they are drawn.
void check_plain_cells(const MapImage& image, const ShapeSet& shapes, const MapBlock& block,
                       const Choices& choices) {
    const MapEntry& entry = map_catalogue[choices.row];
    const size_t span = static_cast<size_t>(shapes.tile_width) * shapes.bytes_per_pixel;
    const size_t lines = static_cast<size_t>(shapes.tile_height);
    for (int r = 0; r < map_tiles_down; ++r) {
        for (int c = 0; c < map_tiles_across; ++c) {
            bool door = false;
            if (choices.time_doors && entry.door_set >= 0) {
                for (const DoorPosition& d : time_door_table[entry.door_set]) {
                    door = door || (d.x == c && d.y == r);
                }
            }
            bool named = false;
            for (int s = 0; s < npc_slots && !choices.no_mon_files; ++s) {
                named = named ||
                        (block.npc.shown[s] != 0 && block.npc.x[s] == c && block.npc.y[s] == r);
            }
            if (named && !door) {
                continue;
            }
            const size_t shape = door ? time_door_shape : block.tiles[r * map_tiles_across + c] / 4;
            for (size_t l = 0; l < lines; ++l) {
                const uint8_t* want = shapes.pixels.data() +
                                      ((shape / 16) * lines + l) * 16 * span + (shape % 16) * span;
                const uint8_t* got = image.pixels.data() + (r * lines + l) * 64 * span + c * span;
                FUZZ_CHECK(std::memcmp(want, got, span) == 0);
            }
        }
    }
}

// Saves the map as the driver does and reads the file back.
void check_round_trip(const MapImage& image) {
    const std::string name = temp_name("map.bmp");
    FUZZ_CHECK(save_map_image(name.c_str(), image, 1) == 0);
    std::FILE* file = std::fopen(name.c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    BitmapHeader header;
    Palette palette;
    PixelBuffer pixels;
    const int result = read_bitmap(file, &header, &palette, &pixels, 0);
    std::fclose(file);
    std::remove(name.c_str());
    FUZZ_CHECK(result == 0);
    FUZZ_CHECK(header.biWidth == image.width && header.biHeight == image.height);
    FUZZ_CHECK(header.biBitCount == image.bit_count);
    FUZZ_CHECK(pixels == image.pixels);
    if (image.palette != nullptr) {
        FUZZ_CHECK(palette.size() == image.palette->size());
        FUZZ_CHECK(std::memcmp(palette.data(), image.palette->data(),
                               palette.size() * sizeof(PaletteEntry)) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || fuzz_too_big(data, size)) {
        return 0;
    }
    const uint8_t flags = data[size - 1];
    const Choices choices = {flags & 1,      flags >> 1 & 1,    flags >> 2 & 1,
                             flags >> 3 & 1, (flags & 16) != 0, data[size - 2] % map_count};

    const std::string shape_file = temp_name("shapes.bmp");
    FUZZ_CHECK(write_file(shape_file, data, size));
    ShapeSet shapes;
    const int loaded = read_shape_bitmap(shape_file.c_str(), &shapes, 16, 4);
    std::remove(shape_file.c_str());
    if (loaded != 0) {
        FUZZ_CHECK(loaded == -1);
        return 0;
    }
    check_shapes(shapes);

    // The image as the driver sets it up.
    const uint64_t width = uint64_t{map_tiles_across} * static_cast<uint32_t>(shapes.tile_width);
    const uint64_t height = uint64_t{map_tiles_down} * static_cast<uint32_t>(shapes.tile_height);
    const uint64_t data_size = width * height * shapes.bytes_per_pixel;
    if (width > max_image_field || height > max_image_field || data_size > max_image_field ||
        data_size > fuzz_max_image_bytes) {
        return 0;
    }
    MapImage image;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.bit_count = shapes.bit_count;
    image.data_size = static_cast<uint32_t>(data_size);
    image.palette = shapes.palette.empty() ? nullptr : &shapes.palette;
    image.pixels.assign(image.data_size, 0);

    MapBlock block;
    fill_block(data, size, &block);
    render_map(&image, shapes, map_catalogue[choices.row], block, choices.time_doors,
               choices.no_npcs, choices.no_mon_files, choices.ignore_diff);
    check_plain_cells(image, shapes, block, choices);
    if (choices.save && data_size <= max_saved_image) {
        check_round_trip(image);
    }
    return 0;
}
