// SPDX-License-Identifier: MIT
// BMP writer: turns a top-down, unpadded pixel buffer into the file's bottom-up, packed
// and padded rows. It allocates nothing: packed 1- and 4-bit rows (4-bit ones packed by
// the platform layer) and their padding go through one fixed local block of 1 KiB,
// handed to the stream whenever it fills; rows of 8 bits and more go from the buffer to
// the file with no copy at all, many rows a call of the platform layer's gather write.
#include "bitmap/bitmap.h"
#include "bitmap/messages.h"
#include "platform/platform.h"

namespace {

constexpr size_t out_block_size = 4 * bitmap_max_palette_entries; // 1024 bytes
constexpr size_t rows_per_write = 128; // rows handed to the system at a time

// Bytes waiting to be written, and whether any write so far has failed.
struct OutBlock {
    uint8_t bytes[out_block_size];
    size_t used;
    bool failed;
};

void flush_block(std::FILE* stream, OutBlock* out) {
    if (out->used != 0 && std::fwrite(out->bytes, out->used, 1, stream) != 1) {
        out->failed = true;
    }
    out->used = 0;
}

inline void put_byte(std::FILE* stream, OutBlock* out, uint8_t byte) {
    if (out->used == out_block_size) {
        flush_block(stream, out);
    }
    out->bytes[out->used++] = byte;
}

// Room for `count` more bytes in the block, flushing it first when they don't fit.
// count is at most out_block_size.
inline uint8_t* reserve_block(std::FILE* stream, OutBlock* out, size_t count) {
    if (out_block_size - out->used < count) {
        flush_block(stream, out);
    }
    uint8_t* at = out->bytes + out->used;
    out->used += count;
    return at;
}

// Packs 8 pixels a byte, first pixel in the highest bit; any non-zero pixel byte sets its
// bit.
void pack_bits(uint8_t* to, const uint8_t* from, size_t count) {
    for (size_t i = 0; i < count; ++i, from += 8) {
        to[i] = static_cast<uint8_t>(
            (from[0] != 0) << 7 | (from[1] != 0) << 6 | (from[2] != 0) << 5 | (from[3] != 0) << 4 |
            (from[4] != 0) << 3 | (from[5] != 0) << 2 | (from[6] != 0) << 1 | (from[7] != 0));
    }
}

// One row of 1-bit pixels; the last byte of a row whose width is no multiple of 8 keeps
// its unused low bits 0.
void pack_row_1(std::FILE* stream, OutBlock* out, const uint8_t* row, uint32_t width) {
    const size_t whole = width / 8;
    for (size_t done = 0; done < whole;) {
        const size_t n = (whole - done < out_block_size) ? whole - done : out_block_size;
        pack_bits(reserve_block(stream, out, n), row + 8 * done, n);
        done += n;
    }
    if (width % 8 != 0) {
        uint8_t byte = 0;
        for (uint32_t k = 0; k < width % 8; ++k) {
            if (row[8 * whole + k] != 0) {
                byte |= static_cast<uint8_t>(0x80u >> k);
            }
        }
        put_byte(stream, out, byte);
    }
}

// One row of 4-bit pixels; an odd last pixel gets a 0 low nibble.
void pack_row_4(std::FILE* stream, OutBlock* out, const uint8_t* row, uint32_t width) {
    const size_t whole = width / 2;
    for (size_t done = 0; done < whole;) {
        const size_t n = (whole - done < out_block_size) ? whole - done : out_block_size;
        // 2 pixels a byte, first pixel in the high nibble; only the low 4 bits of each
        // pixel byte are kept. With one byte a pixel in memory, this is most of the
        // default run's own work: the platform layer does it with the widest instructions.
        platform_pack_nibbles(reserve_block(stream, out, n), row + 2 * done, n);
        done += n;
    }
    if (width % 2 != 0) {
        put_byte(stream, out, static_cast<uint8_t>((row[width - 1] & 0x0F) << 4));
    }
}

// Rows of 8 bits and more need no packing: each goes from the image to the file as it is,
// bottom row first, with its padding from a block of zeros, many rows a system call.
int write_whole_rows(std::FILE* stream, const PixelBuffer& pixels, const BitmapGeometry& geometry,
                     uint32_t height, uint32_t padding) {
    static const uint8_t zeros[3] = {0, 0, 0};
    WriteSpan spans[2 * rows_per_write];
    for (uint32_t r = height; r > 0;) {
        size_t used = 0;
        for (size_t k = 0; k < rows_per_write && r > 0; ++k) {
            --r;
            spans[used++] = {pixels.data() + size_t{geometry.line_size} * r, geometry.line_size};
            if (padding != 0) {
                spans[used++] = {zeros, padding};
            }
        }
        if (platform_write_spans(stream, spans, used) != 0) {
            return -1;
        }
    }
    return 0;
}

} // namespace

int write_palette(std::FILE* stream, const Palette& palette, int32_t entries) noexcept {
    if (entries < 0 || entries > bitmap_max_palette_entries ||
        static_cast<size_t>(entries) > palette.size()) {
        return -1;
    }
    uint8_t bytes[4 * bitmap_max_palette_entries];
    for (int32_t i = 0; i < entries; ++i) {
        bytes[4 * i + 0] = palette[i].blue;
        bytes[4 * i + 1] = palette[i].green;
        bytes[4 * i + 2] = palette[i].red;
        bytes[4 * i + 3] = palette[i].reserved;
    }
    if (entries == 0) {
        return 0;
    }
    return std::fwrite(bytes, 4 * static_cast<size_t>(entries), 1, stream) == 1 ? 0 : -1;
}

int write_bitmap(std::FILE* stream, const BitmapHeader& header, const Palette* palette,
                 const PixelBuffer& pixels) noexcept {
    const uint32_t bit_count = header.biBitCount;
    const uint32_t width = header.biWidth;
    const uint32_t height = header.biHeight;
    // An unsupported bit count, or a buffer too small for the header's image (the caller's
    // fault): refused before anything is written rather than read past its end.
    BitmapGeometry geometry;
    if (bitmap_geometry(width, height, bit_count, &geometry) != 0 ||
        geometry.image_size > pixels.size()) {
        return -1;
    }

    if (write_bitmap_header(stream, header) != 0) {
        std::puts(bitmap_text::cant_write_header);
        return -1;
    }

    const int32_t entries = bitmap_palette_entries(bit_count);
    if (entries > 0) {
        int result = 0;
        if (palette != nullptr) {
            result = write_palette(stream, *palette, entries);
        } else {
            static const uint8_t zero_entry[4] = {0, 0, 0, 0};
            for (int32_t i = 0; i < entries && result == 0; ++i) {
                result = std::fwrite(zero_entry, sizeof zero_entry, 1, stream) == 1 ? 0 : -1;
            }
        }
        if (result != 0) {
            std::puts(bitmap_text::cant_write_palette);
            return -1;
        }
    }

    const uint32_t padding = geometry.row_size - geometry.row_bytes;
    if (bit_count >= 8) {
        return write_whole_rows(stream, pixels, geometry, height, padding);
    }
    OutBlock out;
    out.used = 0;
    out.failed = false;
    for (uint32_t r = height; r-- > 0;) {
        const uint8_t* row = pixels.data() + size_t{geometry.line_size} * r;
        if (bit_count == 1) {
            pack_row_1(stream, &out, row, width);
        } else {
            pack_row_4(stream, &out, row, width);
        }
        for (uint32_t k = 0; k < padding; ++k) {
            put_byte(stream, &out, 0);
        }
        if (out.failed) {
            return -1;
        }
    }
    flush_block(stream, &out);
    if (out.failed || std::ferror(stream)) {
        return -1;
    }
    return 0;
}
