// SPDX-License-Identifier: MIT
// BMP reader and header validator. Reading is strictly sequential: header, then the
// palette directly behind it, then the rows directly behind the palette (the header check
// insists that bfOffBits says exactly that). Rows are unpacked to one byte per pixel for
// 1 and 4 bits, stripped of padding and turned top-down.
//
// Every size is validated before anything is allocated: no header, however crafted, makes
// the reader allocate a wrapped size or write outside a buffer.
#include "bitmap/bitmap.h"
#include "bitmap/messages.h"

#include <cstring>

namespace {

// The image's geometry when its header describes a real image within the size limit:
// width and height not 0 and no size above bitmap_max_size. False otherwise.
bool image_in_range(const BitmapHeader& header, BitmapGeometry* geometry) {
    return header.biWidth != 0 && header.biHeight != 0 &&
           bitmap_geometry(header.biWidth, header.biHeight, header.biBitCount, geometry) == 0;
}

// Unpacks one file row into one buffer row of `width` pixels (`line_size` bytes).
void decode_row(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t bit_count,
                uint32_t line_size) {
    if (bit_count == 1) {
        for (uint32_t x = 0; x < width; ++x) {
            out[x] = (in[x / 8] & (0x80u >> (x % 8))) != 0 ? 1 : 0;
        }
    } else if (bit_count == 4) {
        for (uint32_t x = 0; x < width; ++x) {
            out[x] = (x % 2 == 0) ? static_cast<uint8_t>(in[x / 2] >> 4)
                                  : static_cast<uint8_t>(in[x / 2] & 0x0F);
        }
    } else {
        std::memcpy(out, in, line_size);
    }
}

} // namespace

int check_bitmap_header(BitmapHeader* header) noexcept {
    if (header->biSize != bitmap_info_header_size) {
        std::puts(bitmap_text::header_type);
        return -1;
    }
    if (header->biPlanes != 1) {
        return -1;
    }
    if (header->biCompression != 0) {
        std::puts(bitmap_text::compression);
        return -1;
    }
    if (!bitmap_bit_count_supported(header->biBitCount)) {
        std::puts(bitmap_text::bit_count);
        return -1;
    }

    // The header's own arithmetic: unsigned 32 bits, wrapping as the fields would.
    const uint32_t expected_offset =
        bitmap_header_size + 4 * static_cast<uint32_t>(bitmap_palette_entries(header->biBitCount));
    const uint32_t data_length =
        header->biHeight *
        static_cast<uint32_t>(bitmap_row_size(header->biWidth, header->biBitCount));
    const uint32_t expected_file_length = data_length + expected_offset;

    if (header->bfOffBits != expected_offset) {
        std::printf(bitmap_text::offset_fmt, static_cast<unsigned>(header->bfOffBits),
                    static_cast<unsigned>(expected_offset));
        return -1;
    }
    int warnings = 0;
    if (header->biSizeImage == 0) {
        header->biSizeImage = data_length;
        std::printf(bitmap_text::data_length_0_fmt, static_cast<unsigned>(data_length));
        ++warnings;
    }
    if (header->biSizeImage != data_length) {
        std::printf(bitmap_text::data_length_fmt, static_cast<unsigned>(header->biSizeImage),
                    static_cast<unsigned>(data_length));
        return -1;
    }
    if (header->bfSize == 0) {
        std::puts(bitmap_text::file_length_0);
        ++warnings;
    } else if (header->bfSize > expected_file_length) {
        std::printf(bitmap_text::file_longer_fmt, static_cast<unsigned>(header->bfSize),
                    static_cast<unsigned>(expected_file_length));
        ++warnings;
    } else if (header->bfSize < expected_file_length) {
        std::printf(bitmap_text::file_shorter_fmt, static_cast<unsigned>(header->bfSize),
                    static_cast<unsigned>(expected_file_length));
        return -1;
    }

    // The checks above work in wrapping 32-bit arithmetic and let some impossible sizes
    // through (a top-down height, or lengths that wrapped to agree); refuse those here.
    BitmapGeometry geometry;
    if (!image_in_range(*header, &geometry)) {
        std::puts(bitmap_text::out_of_range);
        return -1;
    }
    return warnings;
}

int read_bitmap_header(std::FILE* stream, BitmapHeader* header) noexcept {
    uint8_t bytes[bitmap_header_size];
    if (std::fread(bytes, sizeof bytes, 1, stream) != 1) {
        return -1;
    }
    if (bytes[0] != 'B' || bytes[1] != 'M') {
        return -1;
    }
    const uint8_t* p = bytes + 2;
    header->bfSize = get_le32(p, &p);
    header->bfReserved1 = static_cast<uint16_t>(get_le16(p, &p));
    header->bfReserved2 = static_cast<uint16_t>(get_le16(p, &p));
    header->bfOffBits = get_le32(p, &p);
    header->biSize = get_le32(p, &p);
    header->biWidth = get_le32(p, &p);
    header->biHeight = get_le32(p, &p);
    header->biPlanes = static_cast<uint16_t>(get_le16(p, &p));
    header->biBitCount = static_cast<uint16_t>(get_le16(p, &p));
    header->biCompression = get_le32(p, &p);
    header->biSizeImage = get_le32(p, &p);
    header->biXPelsPerMeter = get_le32(p, &p);
    header->biYPelsPerMeter = get_le32(p, &p);
    header->biClrUsed = get_le32(p, &p);
    header->biClrImportant = get_le32(p, nullptr);
    return check_bitmap_header(header);
}

int read_palette(std::FILE* stream, Palette* palette, int32_t entries) noexcept {
    if (entries < 0 || entries > bitmap_max_palette_entries ||
        static_cast<size_t>(entries) > palette->size()) {
        return -1;
    }
    if (entries == 0) {
        return 0;
    }
    uint8_t bytes[4 * bitmap_max_palette_entries];
    if (std::fread(bytes, 4 * static_cast<size_t>(entries), 1, stream) != 1) {
        return -1;
    }
    for (int32_t i = 0; i < entries; ++i) {
        PaletteEntry& entry = (*palette)[i];
        entry.blue = bytes[4 * i + 0];
        entry.green = bytes[4 * i + 1];
        entry.red = bytes[4 * i + 2];
        entry.reserved = bytes[4 * i + 3];
    }
    return 0;
}

int read_bitmap(std::FILE* stream, BitmapHeader* header, Palette* palette, PixelBuffer* pixels,
                int header_already_read) noexcept {
    if (pixels == nullptr) {
        return bitmap_no_pixel_buffer;
    }
    if (header_already_read == 0) {
        if (read_bitmap_header(stream, header) < 0) {
            std::puts(bitmap_text::cant_read_header);
            return -1;
        }
    }
    // A header handed in by the caller has not been through our range check; one read
    // here has, and passes again.
    BitmapGeometry geometry;
    if (!image_in_range(*header, &geometry)) {
        std::puts(bitmap_text::cant_read_header);
        return -1;
    }

    if (!grow_buffer(pixels, geometry.image_size)) {
        std::puts(bitmap_text::memory);
        return bitmap_out_of_memory;
    }

    const uint32_t bit_count = header->biBitCount;
    const int32_t entries = bitmap_palette_entries(bit_count);
    if (entries > 0) {
        if (palette == nullptr) {
            // Skipped, not checked: a failed move shows up as a failed row read.
            std::fseek(stream, 4L * entries, SEEK_CUR);
        } else {
            if (!grow_buffer(palette, static_cast<size_t>(entries))) {
                std::puts(bitmap_text::memory);
                return bitmap_out_of_memory;
            }
            if (read_palette(stream, palette, entries) != 0) {
                std::puts(bitmap_text::cant_read_palette);
                return -1;
            }
        }
    }

    PixelBuffer row; // each row is read whole before it is decoded
    if (!grow_buffer(&row, geometry.row_size)) {
        std::puts(bitmap_text::memory);
        return bitmap_out_of_memory;
    }
    for (uint32_t r = header->biHeight; r-- > 0;) {
        if (std::fread(row.data(), geometry.row_size, 1, stream) != 1) {
            std::puts(bitmap_text::cant_read_data);
            return -1;
        }
        decode_row(row.data(), pixels->data() + size_t{geometry.line_size} * r, header->biWidth,
                   bit_count, geometry.line_size);
    }
    return 0;
}
