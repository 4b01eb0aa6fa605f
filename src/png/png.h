// SPDX-License-Identifier: MIT
// PNG files in memory, for any image the renderer makes and for the shape sheet: palette
// images at 1, 4 and 8 bits with their palette, 8-bit RGB for 16 (5-5-5 widened), 24 and
// 32 bits (the fourth byte is no alpha). Deflate comes from zlib; the framing (chunks,
// CRC) is here.
#ifndef KOPC_PNG_PNG_H
#define KOPC_PNG_PNG_H

#include "bitmap/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// An image to encode: top-down, no line padding, one byte per pixel up to 8 bits (the
// palette index), 2, 3 or 4 bytes per pixel above, in BMP byte order.
struct PngImage {
    uint32_t width;
    uint32_t height;
    uint32_t bit_count;     // 1, 4, 8, 16, 24 or 32
    const uint8_t* pixels;  // width * height * ((bit_count + 7) / 8) bytes
    const Palette* palette; // up to 8 bits: at least one entry; ignored above
};

// A PNG file's bytes in memory: grown without clearing, as the encoder writes every byte.
using PngFile = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

// Results of encode_png besides 0.
constexpr int png_failed = -1;
constexpr int png_out_of_memory = -2;

// The PNG file of `image` into the first `*size` bytes of `png`, its pixels in IDAT chunks
// of 8 KiB. 0 when done, png_out_of_memory when memory ran out, png_failed for an image the
// encoder does not take (bit counts other than those above, no palette entry, a width or
// height of 0 or above PNG's 2^31 - 1; `png` and `*size` are left as they are) or any other
// failure.
int encode_png(const PngImage& image, PngFile* png, std::size_t* size) noexcept;

// The CRC-32 of PNG chunks (ISO 3309), continued from `crc` (0 to start).
uint32_t png_crc(uint32_t crc, const uint8_t* data, std::size_t size) noexcept;

#endif
