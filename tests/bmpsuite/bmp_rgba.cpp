// SPDX-License-Identifier: MIT
// bmp_rgba FILE OUT: reads a BMP with read_bitmap and writes its pixels as RGBA, 4 bytes a
// pixel, top row first: the form in which another decoder's result can be compared by
// checksum. Status 0 when read_bitmap accepted FILE, 1 when it refused it (its messages
// are on standard output as usual), 2 for a usage or output problem.
#include "bitmap/bitmap.h"
#include "platform/platform.h"

#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
    const FilePtr in(argc == 3 ? std::fopen(argv[1], "rb") : nullptr);
    BitmapHeader header;
    Palette palette;
    PixelBuffer pixels;
    if (!in) {
        std::puts("usage: bmp_rgba FILE OUT");
        return 2;
    }
    if (read_bitmap(in.get(), &header, &palette, &pixels, 0) != 0) {
        return 1;
    }
    const uint32_t bits = header.biBitCount;
    const size_t bytes_per_pixel = bitmap_bytes_per_pixel(bits);
    std::vector<uint8_t> rgba;
    for (size_t i = 0; i < size_t{header.biWidth} * header.biHeight; ++i) {
        const uint8_t* p = &pixels[i * bytes_per_pixel];
        if (bits <= 8) {
            const PaletteEntry& entry = palette.at(p[0]);
            rgba.insert(rgba.end(), {entry.red, entry.green, entry.blue, 255});
        } else if (bits == 16) {
            // 5-5-5 below an unused top bit, each channel stretched to v * 255 / 31.
            const uint32_t v = p[0] | uint32_t{p[1]} << 8;
            for (int shift : {10, 5, 0}) {
                rgba.push_back(static_cast<uint8_t>((v >> shift & 31) * 255 / 31));
            }
            rgba.push_back(255);
        } else { // blue, green, red; a fourth byte is not alpha
            rgba.insert(rgba.end(), {p[2], p[1], p[0], 255});
        }
    }
    const FilePtr out(std::fopen(argv[2], "wb"));
    if (!out || std::fwrite(rgba.data(), 1, rgba.size(), out.get()) != rgba.size()) {
        std::puts("bmp_rgba: can't write the pixels");
        return 2;
    }
    return 0;
}
