// SPDX-License-Identifier: MIT
// An image as a PNG file in memory: signature, IHDR, PLTE (palette images), IDAT with the
// rows deflated by zlib (filter type 0 on every row), IEND; each chunk with its length,
// type and CRC.
#include "png/png.h"
#include "platform/platform.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t colour_palette = 3; // PNG colour types
constexpr uint8_t colour_rgb = 2;
constexpr std::size_t png_growth = 256 * 1024; // least room added to the output at a time

constexpr std::array<uint32_t, 256> make_crc_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> crc_table = make_crc_table();

// Ends the deflate stream on every path.
struct DeflateEnd {
    z_stream* stream;
    ~DeflateEnd() {
        deflateEnd(stream);
    }
};

// The output so far: `used` bytes of `png`, grown on demand.
struct PngOutput {
    PixelBuffer* png;
    std::size_t used;
};

bool make_room(PngOutput* out, std::size_t count) {
    if (out->png->size() - out->used >= count) {
        return true;
    }
    const std::size_t grow = std::max(count, std::max(png_growth, out->png->size() / 2));
    return grow_buffer(out->png, out->png->size() + grow);
}

void put_u32(uint8_t* to, uint32_t value) {
    to[0] = static_cast<uint8_t>(value >> 24);
    to[1] = static_cast<uint8_t>(value >> 16);
    to[2] = static_cast<uint8_t>(value >> 8);
    to[3] = static_cast<uint8_t>(value);
}

// Opens a chunk: room for its length, then its type. Returns where the chunk starts.
std::size_t begin_chunk(PngOutput* out, const char* type) {
    uint8_t* at = out->png->data() + out->used;
    std::memcpy(at + 4, type, 4);
    const std::size_t start = out->used;
    out->used += 8;
    return start;
}

// Closes the chunk begun at `start`: its length, and the CRC of its type and data.
void end_chunk(PngOutput* out, std::size_t start) {
    uint8_t* chunk = out->png->data() + start;
    const std::size_t length = out->used - start - 8;
    put_u32(chunk, static_cast<uint32_t>(length));
    put_u32(chunk + 8 + length, png_crc(0, chunk + 4, length + 4));
    out->used += 4;
}

// One image line in PNG's order: filter byte 0, then the pixels of line `y`.
void png_line(const PngImage& image, uint32_t y, uint8_t* line) {
    const std::size_t width = image.width;
    const std::size_t bytes = (image.bit_count + 7) / 8;
    const uint8_t* from = image.pixels + y * width * bytes;
    uint8_t* to = line + 1;
    line[0] = 0;
    switch (image.bit_count) {
    case 1: // one palette index a byte in the image, eight a byte in PNG, first one highest
        for (std::size_t x = 0; x < width; x += 8, from += 8) {
            unsigned packed = 0;
            for (int k = 0; k < 8; ++k) {
                packed = packed << 1 | (from[k] & 1);
            }
            *to++ = static_cast<uint8_t>(packed);
        }
        break;
    case 4:
        platform_pack_nibbles(to, from, width / 2);
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

uint32_t png_crc(uint32_t crc, const uint8_t* data, std::size_t size) noexcept {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = crc_table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

int encode_png(const PngImage& image, PixelBuffer* png, std::size_t* size) noexcept {
    const bool paletted = image.bit_count <= 8;
    const std::size_t line_size =
        1 + (paletted ? (image.width * image.bit_count + 7) / 8 : std::size_t{3} * image.width);
    PixelBuffer line;
    PngOutput out = {png, 0};
    if (image.palette == nullptr && paletted) {
        return -1;
    }
    if (!grow_buffer(&line, line_size) || !make_room(&out, 8 + 25 + 12 + 3 * 256 + 12)) {
        return -2;
    }
    std::memcpy(png->data(), png_signature, sizeof png_signature);
    out.used = sizeof png_signature;

    std::size_t chunk = begin_chunk(&out, "IHDR");
    uint8_t* at = png->data() + out.used;
    put_u32(at, image.width);
    put_u32(at + 4, image.height);
    at[8] = static_cast<uint8_t>(paletted ? image.bit_count : 8); // bits per sample
    at[9] = paletted ? colour_palette : colour_rgb;
    at[10] = at[11] = at[12] = 0; // deflate, adaptive filters, no interlace
    out.used += 13;
    end_chunk(&out, chunk);

    if (paletted) {
        chunk = begin_chunk(&out, "PLTE");
        at = png->data() + out.used;
        const std::size_t entries =
            std::min(image.palette->size(), std::size_t{1} << image.bit_count);
        for (std::size_t i = 0; i < entries; ++i, at += 3) {
            const PaletteEntry& entry = (*image.palette)[i];
            at[0] = entry.red;
            at[1] = entry.green;
            at[2] = entry.blue;
        }
        out.used += 3 * entries;
        end_chunk(&out, chunk);
    }

    z_stream stream = {};
    const int started = deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    if (started != Z_OK) {
        return started == Z_MEM_ERROR ? -2 : -1;
    }
    DeflateEnd end = {&stream};
    chunk = begin_chunk(&out, "IDAT");
    for (uint32_t y = 0; y <= image.height; ++y) {
        const int flush = y < image.height ? Z_NO_FLUSH : Z_FINISH;
        if (flush == Z_NO_FLUSH) {
            png_line(image, y, line.data());
        }
        stream.next_in = line.data();
        stream.avail_in = flush == Z_NO_FLUSH ? static_cast<uInt>(line_size) : 0;
        int result = Z_OK;
        do {
            // Room for the deflated bytes and, past them, the chunk's CRC and IEND.
            if (!make_room(&out, png_growth + 4 + 12)) {
                return -2;
            }
            const std::size_t room = out.png->size() - out.used - 16;
            stream.next_out = out.png->data() + out.used;
            stream.avail_out = static_cast<uInt>(std::min(room, std::size_t{1} << 30));
            result = deflate(&stream, flush);
            out.used = static_cast<std::size_t>(stream.next_out - out.png->data());
            if (result == Z_STREAM_ERROR) {
                return -1;
            }
        } while (flush == Z_FINISH ? result != Z_STREAM_END : stream.avail_in > 0);
    }
    end_chunk(&out, chunk);
    chunk = begin_chunk(&out, "IEND");
    end_chunk(&out, chunk);
    *size = out.used;
    return 0;
}
