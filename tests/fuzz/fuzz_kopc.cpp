// SPDX-License-Identifier: MIT
// libFuzzer: clang++ -std=c++17 -DKOPC_LIBFUZZER -fsanitize=fuzzer,address,undefined -Isrc
//            tests/fuzz/fuzz_kopc.cpp src/{platform,bitmap,gamedata,render}/*.cpp
// Without KOPC_LIBFUZZER, main replays the files named (replay_kopc FILE...).
// The BMP reader and the run with a shape bitmap in one target. The input is the file; its
// last byte m chooses what is done with it, so any BMP is a seed as it is:
//   read_bitmap with no palette if m & 2, a pre-filled pixel buffer if m & 4, the header
//     read first if m & 8: an accepted image must match a plain decoding of the input;
//   unless m & 1, the run too: the input as a shape bitmap of 16 x 4 tiles, a map rendered
//     (catalogue row: second-last byte; tiles and NPC record: the input repeated; flags:
//     m >> 4): every cell no NPC stands on shows its shape; saved, the map must read back
//     unchanged (1 bit as 0/1, 4 bits as a nibble).
#include "platform/platform.h"
#include "render/render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// A failed check aborts, so that libFuzzer and the replay alike report the input.
#define CHECK(c) ((c) ? (void)0 : (std::fprintf(stderr, "failed: %s\n", #c), std::abort()))

namespace {
// Larger images are skipped: the fuzzer stays fast, the replay renders the sample's 12 MiB.
#ifdef KOPC_LIBFUZZER
constexpr uint64_t max_bytes = uint64_t{4} << 20;
#else
constexpr uint64_t max_bytes = uint64_t{64} << 20;
#endif

void check_read(const char* name, const uint8_t* data, size_t size, uint8_t m) {
    FilePtr file(std::fopen(name, "rb"));
    BitmapHeader header;
    Palette palette;
    PixelBuffer pixels(m & 4 ? data[size - 2] * size_t{300} + 1 : 0, 0xA5);
    const size_t before = pixels.size();
    CHECK(file != nullptr);
    if ((m & 8 && read_bitmap_header(file.get(), &header) < 0) ||
        read_bitmap(file.get(), &header, m & 2 ? nullptr : &palette, &pixels, m & 8) != 0) {
        return;
    }
    // The plain decoding: palette behind the header, rows bottom-up, padded to 4 bytes.
    const size_t bits = header.biBitCount, width = header.biWidth, height = header.biHeight;
    const size_t entries = bits <= 8 ? size_t{1} << bits : 0, line = width * ((bits + 7) / 8);
    const size_t offset = 54 + 4 * entries, row = (width * bits + 31) / 32 * 4;
    CHECK(offset + row * height <= size && pixels.size() == std::max(before, line * height));
    CHECK(palette.size() == (m & 2 ? 0 : entries) &&
          (palette.empty() || std::memcmp(palette.data(), data + 54, 4 * entries) == 0));
    for (size_t i = 0; i < pixels.size(); ++i) {
        const size_t x = i % line, at = offset + (height - 1 - i / line) * row; // file row
        CHECK(pixels[i] == (i >= line * height ? 0xA5 // a pre-filled buffer keeps its tail
                            : bits == 1        ? data[at + x / 8] >> (7 - x % 8) & 1
                            : bits == 4        ? data[at + x / 2] >> (x % 2 ? 0 : 4) & 15
                                               : data[at + x]));
    }
}

void check_run(const char* name, const uint8_t* data, size_t size, uint8_t m) {
    ShapeSet shapes;
    MapImage image;
    if (read_shape_bitmap(name, &shapes, 16, 4) != 0 || size_map_image(shapes, &image) != 0 ||
        image.data_size > max_bytes || !grow_buffer(&image.pixels, image.data_size)) {
        return;
    }
    MapBlock block; // the map and NPC files back to back: the input, repeated
    for (size_t i = 0; i < sizeof block; ++i) {
        reinterpret_cast<uint8_t*>(&block)[i] = data[i % size];
    }
    const MapEntry& entry = map_catalogue[data[size - 2] % map_count];
    MapReport report;
    render_map(&image, shapes, entry, block, m & 16, m & 32, m & 64, m & 128, &report);
    // Every cell that no NPC slot stands on shows its tile's shape, or a time door's.
    const size_t th = size_t(shapes.tile_height), span = shapes.tile_width * shapes.bytes_per_pixel;
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64; ++c) {
            bool npc = false;
            for (int s = 0; s < npc_slots && (m & 64) == 0; ++s) {
                npc |= block.npc.shown[s] != 0 && block.npc.x[s] == c && block.npc.y[s] == r;
            }
            size_t shape = block.tiles[r * 64 + c] / 4;
            for (int d = 0; d < doors_per_set && (m & 16) != 0 && entry.door_set >= 0; ++d) {
                const DoorPosition& door = time_door_table[entry.door_set][d];
                npc = npc && !(door.x == c && door.y == r);
                shape = door.x == c && door.y == r ? time_door_shape : shape;
            }
            for (size_t l = 0; l < th && !npc; ++l) {
                CHECK(std::memcmp(&image.pixels[((r * th + l) * 64 + c) * span],
                                  &shapes.pixels[((shape / 16 * th + l) * 16 + shape % 16) * span],
                                  span) == 0);
            }
        }
    }
    CHECK(save_map_image(name, image, 1) == 0);
    FilePtr file(std::fopen(name, "rb"));
    BitmapHeader header;
    PixelBuffer pixels;
    CHECK(file && read_bitmap(file.get(), &header, nullptr, &pixels, 0) == 0);
    CHECK(header.biWidth == image.width && header.biHeight == image.height &&
          header.biBitCount == image.bit_count && pixels.size() == image.data_size);
    const int mask = image.bit_count == 1 ? 1 : image.bit_count == 4 ? 15 : 255; // bits kept
    CHECK(std::equal(pixels.begin(), pixels.end(), image.pixels.begin(),
                     [mask](uint8_t a, uint8_t b) { return ((a ^ b) & mask) == 0; }));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Skipped: headers asking for more pixels than allowed that the reader would allocate.
    const uint64_t pixels = size < 26 ? 0 : uint64_t{get_le32(data + 18)} * get_le32(data + 22);
    if (size < 2 || (pixels > max_bytes / 4 && pixels <= bitmap_max_size)) {
        return 0;
    }
    // The input as a file, in the current folder under a name of its own (tests run in parallel).
    const std::string name = "kopc_fuzz_" + std::to_string(std::random_device{}()) + ".bmp";
    FilePtr file(std::fopen(name.c_str(), "wb"));
    CHECK(file && std::fwrite(data, size, 1, file.get()) == 1 && std::fclose(file.release()) == 0);
    check_read(name.c_str(), data, size, data[size - 1]);
    if ((data[size - 1] & 1) == 0) {
        check_run(name.c_str(), data, size, data[size - 1]);
    }
    std::remove(name.c_str());
    return 0;
}

#ifndef KOPC_LIBFUZZER
int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        std::fprintf(stderr, "%s\n", argv[i]); // names the input that fails a check
        std::ifstream in(argv[i], std::ios::binary);
        CHECK(in.is_open());
        const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    return argc < 2;
}
#endif
