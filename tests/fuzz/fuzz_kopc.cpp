// SPDX-License-Identifier: MIT
// libFuzzer: clang++ -std=c++17 -DKOPC_LIBFUZZER -fsanitize=fuzzer,address,undefined -Isrc
//            tests/fuzz/fuzz_kopc.cpp src/{platform,bitmap,gamedata,render}/*.cpp
// Without KOPC_LIBFUZZER, main replays the files named (replay_kopc FILE...).
// The BMP reader, the run with a shape bitmap and the PNG encoder in one target. The input is the
// file; its last byte m chooses what is done with it, so any BMP is a seed as it is:
//   read_bitmap with no palette if m & 2, a pre-filled pixel buffer if m & 4, the header
//     read first if m & 8: an accepted image must match a plain decoding of the input;
//   unless m & 1, the run too: the input as a shape bitmap of 16 x 4 tiles, a map rendered
//     (catalogue row: second-last byte; tiles and NPC record: the input repeated; flags:
//     m >> 4): every cell no NPC stands on shows its shape; saved, the map must read back
//     unchanged (1 bit as 0/1, 4 bits as a nibble);
//   if m & 1 (with zlib), the input then noise encoded as PNG (bit count 1, 4, 8, 16, 24, 32, 2
//     or 0 by m >> 1 & 7, m >> 4 palette entries, the two bytes before m height and width):
//     refused, nothing written; accepted, whole chunks that inflate to PNG's rows of it.
#include "platform/platform.h"
#include "render/render.h"

#ifdef KOPC_FUZZ_PNG
#include "png/png.h"
#include <zlib.h>
#endif

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

#ifdef KOPC_FUZZ_PNG
void check_png(const uint8_t* data, size_t size, uint8_t m) {
    const uint32_t depths[8] = {1, 4, 8, 16, 24, 32, 2, 0}, bits = depths[m >> 1 & 7];
    const size_t width = data[size - 2], height = data[size - 3], in = (bits + 7) / 8;
    const size_t row = 1 + (bits <= 8 ? (width * bits + 7) / 8 : 3 * width);
    PixelBuffer pixels(width * height * in), png, idat, raw(height * row + 1),
        want(row * height, 0);
    std::minstd_rand noise(m); // past the input: bytes deflate cannot shrink, for many IDATs
    std::generate(pixels.begin(), pixels.end(),
                  [&, i = size_t{0}]() mutable { return i < size ? data[i++] : uint8_t(noise()); });
    const Palette palette(m >> 4);
    const PngImage image = {uint32_t(width), uint32_t(height), bits, pixels.data(), &palette};
    const bool taken = (m >> 1 & 7) < 6 && width && height && (bits > 8 || !palette.empty());
    size_t png_size = 0;
    CHECK(encode_png(image, &png, &png_size) == (taken ? 0 : -1) && (taken || png.empty()));
    const auto be32 = [&png](size_t i) {
        return uint32_t(png[i]) << 24 | png[i + 1] << 16 | png[i + 2] << 8 | png[i + 3];
    };
    for (size_t at = 8, length = 0; taken && at < png_size; at += 12 + length) {
        CHECK(at + 12 <= png_size && (length = be32(at)) <= png_size - at - 12 &&
              be32(at + 8 + length) == crc32(0, &png[at + 4], uInt(length + 4)));
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) {
            idat.insert(idat.end(), &png[at + 8], &png[at + 8 + length]);
        }
    }
    // Rows: filter byte 0; indices masked, first highest, unused bits 0; 5-5-5 widened; BGR as RGB.
    for (size_t i = 0, x = 0; i < width * height && taken; x = ++i % width) {
        const uint8_t* p = &pixels[i * in];
        uint8_t* to = &want[i / width * row + 1];
        if (bits <= 8) {
            to[x * bits / 8] |= uint8_t((p[0] & ((1 << bits) - 1)) << (8 - bits - x * bits % 8));
        }
        for (size_t c = 0; c < 3 && bits > 8; ++c) {
            const unsigned v = (p[0] | p[1] << 8) >> (10 - 5 * c) & 31;
            to[3 * x + c] = bits == 16 ? uint8_t(v << 3 | v >> 2) : p[2 - c];
        }
    }
    uLongf raw_size = uLongf(raw.size());
    CHECK(!taken || (uncompress(raw.data(), &raw_size, idat.data(), uLong(idat.size())) == Z_OK &&
                     raw_size == want.size() && std::equal(want.begin(), want.end(), raw.begin())));
}
#endif
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Skipped: headers asking for more pixels than allowed that the reader would allocate.
    const uint64_t pixels = size < 26 ? 0 : uint64_t{get_le32(data + 18)} * get_le32(data + 22);
#ifdef KOPC_FUZZ_PNG
    if (size >= 3 && data[size - 1] & 1) {
        check_png(data, size, data[size - 1]);
    }
#endif
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
#ifdef KOPC_FUZZ_PNG
    for (int m = 1; m < 256; m += 2) { // the encoder mode on inputs of its own
        const uint8_t in[] = {uint8_t(m * 5), uint8_t(m % 101), uint8_t(m * 37 % 251), uint8_t(m)};
        LLVMFuzzerTestOneInput(in, sizeof in);
    }
#endif
    return argc < 2;
}
#endif
