// Reads a BMP with read_bitmap and writes its pixels as RGBA, 4 bytes a pixel, top row
// first: the form in which another decoder's result can be compared by checksum.
//
//   bmp_rgba FILE OUT
//
// Status 0 when read_bitmap accepted FILE (OUT then holds the pixels), 1 when it refused
// it (its messages are on standard output as usual), 2 for a usage or output problem.
#include "bitmap/bitmap.h"
#include "platform/platform.h"

#include <cstdio>
#include <vector>

namespace {

// A 5-bit channel stretched to 8 bits by rounding down v * 255 / 31.
uint8_t expand5(uint32_t v) {
    return static_cast<uint8_t>(v * 255 / 31);
}

// One pixel of the pixel buffer as red, green, blue, alpha.
void to_rgba(const uint8_t* pixel, uint32_t bit_count, const Palette& palette, uint8_t* out) {
    if (bit_count <= 8) {
        const PaletteEntry& entry = palette[pixel[0]];
        out[0] = entry.red;
        out[1] = entry.green;
        out[2] = entry.blue;
    } else if (bit_count == 16) {
        // 5-5-5: the top bit unused, then red, green, blue.
        const uint32_t v = pixel[0] | static_cast<uint32_t>(pixel[1]) << 8;
        out[0] = expand5((v >> 10) & 31);
        out[1] = expand5((v >> 5) & 31);
        out[2] = expand5(v & 31);
    } else {
        // 24 and 32 bits: blue, green, red; a fourth byte is not alpha.
        out[0] = pixel[2];
        out[1] = pixel[1];
        out[2] = pixel[0];
    }
    out[3] = 255;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::puts("usage: bmp_rgba FILE OUT");
        return 2;
    }
    const FilePtr in(std::fopen(argv[1], "rb"));
    if (!in) {
        std::printf("bmp_rgba: can't open '%s'\n", argv[1]);
        return 2;
    }
    BitmapHeader header;
    Palette palette;
    PixelBuffer pixels;
    if (read_bitmap(in.get(), &header, &palette, &pixels, 0) != 0) {
        return 1;
    }
    const uint32_t bit_count = header.biBitCount;
    const size_t bytes_per_pixel = bitmap_bytes_per_pixel(bit_count);
    const size_t count = static_cast<size_t>(header.biWidth) * header.biHeight;
    if (pixels.size() < count * bytes_per_pixel ||
        (bit_count <= 8 && palette.size() < (size_t{1} << bit_count))) {
        std::puts("bmp_rgba: buffers smaller than the header says");
        return 2;
    }
    std::vector<uint8_t> rgba(count * 4);
    for (size_t i = 0; i < count; ++i) {
        to_rgba(&pixels[i * bytes_per_pixel], bit_count, palette, &rgba[i * 4]);
    }
    const FilePtr out(std::fopen(argv[2], "wb"));
    if (!out || std::fwrite(rgba.data(), 1, rgba.size(), out.get()) != rgba.size() ||
        std::fflush(out.get()) != 0) {
        std::printf("bmp_rgba: can't write '%s'\n", argv[2]);
        return 2;
    }
    return 0;
}
