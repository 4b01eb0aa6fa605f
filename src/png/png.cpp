// SPDX-License-Identifier: MIT
// An image as a PNG file in memory: signature, IHDR, PLTE (palette images), IDAT with the
// rows deflated by zlib (filter type 0 on every row), IEND; each chunk with its length,
// type and CRC.
#include "png/png.h"
#include "platform/platform.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t colour_palette = 3; // PNG colour types
constexpr uint8_t colour_rgb = 2;
constexpr uint32_t png_max_dimension = 0x7FFFFFFF; // PNG's limit on width and height
// Most deflated bytes in one IDAT chunk. A chunk's length must stay below 2^31, which one
// chunk for the whole image passes for a large map widened to RGB. 8 KiB as libpng and
// libspng write: 12 bytes of framing a chunk add 0.15 % to the file.
constexpr std::size_t idat_chunk_size = 8 * 1024;
constexpr std::size_t zlib_max_input = 1u << 30; // zlib counts its input in 32 bits (uInt)
constexpr std::size_t png_growth = 256 * 1024;   // least room added to the output at a time

// Ends the deflate stream on every path.
struct DeflateEnd {
    z_stream* stream;
    ~DeflateEnd() {
        deflateEnd(stream);
    }
};

// The output so far: `used` bytes of `png`, grown on demand; the open chunk starts at `chunk`.
struct PngOutput {
    PngFile* png;
    std::size_t used;
    std::size_t chunk;
};

void put_u32(uint8_t* to, uint32_t value) {
    to[0] = static_cast<uint8_t>(value >> 24);
    to[1] = static_cast<uint8_t>(value >> 16);
    to[2] = static_cast<uint8_t>(value >> 8);
    to[3] = static_cast<uint8_t>(value);
}

// Opens a chunk of at most `length` data bytes: makes room for all of it with its length,
// type and CRC, and writes the type. False when memory ran out.
bool begin_chunk(PngOutput* out, const char* type, std::size_t length) {
    const std::size_t count = 12 + length;
    if (out->png->size() - out->used < count &&
        !grow_buffer(out->png, out->used + std::max(count, std::max(png_growth, out->used / 2)))) {
        return false;
    }
    std::memcpy(out->png->data() + out->used + 4, type, 4);
    out->chunk = out->used;
    out->used += 8;
    return true;
}

// Closes the open chunk: its length, and the CRC of its type and data.
void end_chunk(PngOutput* out) {
    uint8_t* chunk = out->png->data() + out->chunk;
    const std::size_t length = out->used - out->chunk - 8;
    put_u32(chunk, static_cast<uint32_t>(length));
    put_u32(chunk + 8 + length, png_crc(0, chunk + 4, length + 4));
    out->used += 4;
}

// One image line in PNG's order: filter byte 0, then the pixels of line `y`.
void png_line(const PngImage& image, std::size_t y, uint8_t* line) {
    const std::size_t width = image.width;
    const std::size_t bytes = (image.bit_count + 7) / 8;
    const uint8_t* from = image.pixels + y * width * bytes;
    uint8_t* to = line + 1;
    line[0] = 0;
    switch (image.bit_count) {
    case 1: // one palette index a byte in the image, eight a byte in PNG, first one highest;
            // the unused low bits of the last byte 0
        for (std::size_t x = 0; x < width; x += 8) {
            unsigned packed = 0;
            for (std::size_t k = x; k < x + 8; ++k) {
                packed = packed << 1 | (k < width ? from[k] & 1 : 0);
            }
            *to++ = static_cast<uint8_t>(packed);
        }
        break;
    case 4:
        platform_pack_nibbles(to, from, width / 2);
        if (width % 2 != 0) {
            to[width / 2] = static_cast<uint8_t>((from[width - 1] & 0x0F) << 4);
        }
        break;
    case 8:
        std::memcpy(to, from, width);
        break;
    case 16: // 5-5-5 little-endian, widened to 8 bits as BMP decoders do
        for (std::size_t x = 0; x < width; ++x, from += 2, to += 3) {
            const unsigned v = from[0] | from[1] << 8;
            const unsigned r = v >> 10 & 31, g = v >> 5 & 31, b = v & 31;
            to[0] = static_cast<uint8_t>(r << 3 | r >> 2);
            to[1] = static_cast<uint8_t>(g << 3 | g >> 2);
            to[2] = static_cast<uint8_t>(b << 3 | b >> 2);
        }
        break;
    default: // 24 and 32 bits: blue, green, red (and a byte that is no alpha)
        for (std::size_t x = 0; x < width; ++x, from += bytes, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
        break;
    }
}

} // namespace

// zlib's CRC-32 is the same (ISO 3309) and computes several bytes a step.
uint32_t png_crc(uint32_t crc, const uint8_t* data, std::size_t size) noexcept {
    return static_cast<uint32_t>(crc32_z(crc, data, size));
}

int encode_png(const PngImage& image, PngFile* png, std::size_t* size) noexcept {
    // What the encoder takes: BMP's bit counts, a palette with at least one entry up to 8
    // bits (PNG's palette images need their PLTE), PNG's dimensions (1 to 2^31 - 1), and an
    // image whose bytes, 4 a pixel at most in and out, can be counted in size_t.
    const uint32_t bits = image.bit_count;
    const bool paletted = bits <= 8;
    const bool known =
        bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!known || image.width == 0 || image.width > png_max_dimension || image.height == 0 ||
        image.height > png_max_dimension || image.width > SIZE_MAX / 4 / image.height ||
        (paletted && (image.palette == nullptr || image.palette->empty()))) {
        return png_failed;
    }
    const std::size_t width = image.width, height = image.height;
    const std::size_t line_size = 1 + (paletted ? (width * bits + 7) / 8 : 3 * width);
    PixelBuffer line;
    PngOutput out = {png, 0, 0};
    if (!grow_buffer(&line, line_size) || !grow_buffer(png, sizeof png_signature)) {
        return png_out_of_memory;
    }
    std::memcpy(png->data(), png_signature, sizeof png_signature);
    out.used = sizeof png_signature;

    if (!begin_chunk(&out, "IHDR", 13)) {
        return png_out_of_memory;
    }
    uint8_t* at = png->data() + out.used;
    put_u32(at, image.width);
    put_u32(at + 4, image.height);
    at[8] = static_cast<uint8_t>(paletted ? bits : 8); // bits per sample
    at[9] = paletted ? colour_palette : colour_rgb;
    at[10] = at[11] = at[12] = 0; // deflate, adaptive filters, no interlace
    out.used += 13;
    end_chunk(&out);

    if (paletted) {
        const std::size_t entries = std::min(image.palette->size(), std::size_t{1} << bits);
        if (!begin_chunk(&out, "PLTE", 3 * entries)) {
            return png_out_of_memory;
        }
        at = png->data() + out.used;
        for (std::size_t i = 0; i < entries; ++i, at += 3) {
            const PaletteEntry& entry = (*image.palette)[i];
            at[0] = entry.red;
            at[1] = entry.green;
            at[2] = entry.blue;
        }
        out.used += 3 * entries;
        end_chunk(&out);
    }

    z_stream stream = {};
    const int started = deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    if (started != Z_OK) {
        return started == Z_MEM_ERROR ? -2 : -1;
    }
    DeflateEnd end = {&stream};
    // The deflated lines fill IDAT chunks of idat_chunk_size bytes one after the other; a
    // new chunk is opened only when deflate has more to give.
    if (!begin_chunk(&out, "IDAT", idat_chunk_size)) {
        return png_out_of_memory;
    }
    for (std::size_t y = 0; y <= height; ++y) {
        const int flush = y < height ? Z_NO_FLUSH : Z_FINISH;
        std::size_t left = 0; // bytes of the line not yet handed to zlib
        if (flush == Z_NO_FLUSH) {
            png_line(image, y, line.data());
            stream.next_in = line.data();
            left = line_size;
        }
        int result = Z_OK;
        do {
            if (stream.avail_in == 0) {
                stream.avail_in = static_cast<uInt>(std::min(left, zlib_max_input));
                left -= stream.avail_in;
            }
            std::size_t filled = out.used - out.chunk - 8;
            if (filled == idat_chunk_size) {
                end_chunk(&out);
                if (!begin_chunk(&out, "IDAT", idat_chunk_size)) {
                    return png_out_of_memory;
                }
                filled = 0;
            }
            stream.next_out = out.png->data() + out.used;
            stream.avail_out = static_cast<uInt>(idat_chunk_size - filled);
            result = deflate(&stream, flush);
            out.used = static_cast<std::size_t>(stream.next_out - out.png->data());
            if (result == Z_STREAM_ERROR) {
                return png_failed;
            }
        } while (flush == Z_FINISH ? result != Z_STREAM_END : stream.avail_in > 0 || left > 0);
    }
    end_chunk(&out);
    if (!begin_chunk(&out, "IEND", 0)) {
        return png_out_of_memory;
    }
    end_chunk(&out);
    *size = out.used;
    return 0;
}
