// SPDX-License-Identifier: MIT
// Header construction, serialisation and row geometry shared by the writer and the reader.
#include "bitmap/bitmap.h"

uint8_t* put_le32(uint8_t* cursor, uint32_t value) noexcept {
    cursor[0] = static_cast<uint8_t>(value);
    cursor[1] = static_cast<uint8_t>(value >> 8);
    cursor[2] = static_cast<uint8_t>(value >> 16);
    cursor[3] = static_cast<uint8_t>(value >> 24);
    return cursor + 4;
}

uint8_t* put_le16(uint8_t* cursor, uint32_t value) noexcept {
    cursor[0] = static_cast<uint8_t>(value);
    cursor[1] = static_cast<uint8_t>(value >> 8);
    return cursor + 2;
}

uint32_t get_le32(const uint8_t* cursor, const uint8_t** next) noexcept {
    if (next != nullptr) {
        *next = cursor + 4;
    }
    return static_cast<uint32_t>(cursor[0]) | static_cast<uint32_t>(cursor[1]) << 8 |
           static_cast<uint32_t>(cursor[2]) << 16 | static_cast<uint32_t>(cursor[3]) << 24;
}

uint32_t get_le16(const uint8_t* cursor, const uint8_t** next) noexcept {
    if (next != nullptr) {
        *next = cursor + 2;
    }
    return static_cast<uint32_t>(cursor[0]) | static_cast<uint32_t>(cursor[1]) << 8;
}

bool bitmap_bit_count_supported(uint32_t bit_count) noexcept {
    switch (bit_count) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

int32_t bitmap_palette_entries(uint32_t bit_count) noexcept {
    switch (bit_count) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

// Bytes the pixels of one file row take before padding, in wrapping 32-bit arithmetic.
static uint32_t packed_row_bytes(uint32_t width, uint32_t bit_count) {
    switch (bit_count) {
    case 1:
        return (width + 7) / 8;
    case 4:
        return (width + 1) / 2;
    default:
        return (bit_count / 8) * width;
    }
}

int32_t bitmap_row_size(uint32_t width, uint32_t bit_count) noexcept {
    if (!bitmap_bit_count_supported(bit_count)) {
        return -1;
    }
    return static_cast<int32_t>((packed_row_bytes(width, bit_count) + 3) & ~3u);
}

int bitmap_geometry(uint32_t width, uint32_t height, uint32_t bit_count,
                    BitmapGeometry* geometry) noexcept {
    if (!bitmap_bit_count_supported(bit_count)) {
        return -1;
    }
    const uint32_t bytes_per_pixel = bitmap_bytes_per_pixel(bit_count);
    if (height > bitmap_max_size || width > bitmap_max_size / bytes_per_pixel) {
        return -1;
    }
    const uint32_t line_size = width * bytes_per_pixel;
    // The row's pixel bytes never exceed line_size, so they cannot wrap here; the padding
    // may add up to 3 bytes.
    const uint32_t row_bytes = packed_row_bytes(width, bit_count);
    if ((line_size != 0 && height > bitmap_max_size / line_size) ||
        row_bytes > bitmap_max_size - 3) {
        return -1;
    }
    geometry->line_size = line_size;
    geometry->row_bytes = row_bytes;
    geometry->row_size = (row_bytes + 3) & ~3u;
    geometry->image_size = line_size * height;
    return 0;
}

int create_bitmap_header(BitmapHeader* header, uint32_t width, uint32_t height,
                         uint16_t bit_count) noexcept {
    header->bfReserved1 = 0;
    header->bfReserved2 = 0;
    header->biSize = bitmap_info_header_size;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = bit_count;
    header->biCompression = 0;
    header->biXPelsPerMeter = 0;
    header->biYPelsPerMeter = 0;
    header->biClrUsed = 0;
    header->biClrImportant = 0;

    if (!bitmap_bit_count_supported(bit_count)) {
        return -1;
    }
    header->bfOffBits =
        bitmap_header_size + 4 * static_cast<uint32_t>(bitmap_palette_entries(bit_count));
    header->biSizeImage = static_cast<uint32_t>(bitmap_row_size(width, bit_count)) * height;
    header->bfSize = header->biSizeImage + header->bfOffBits;
    return 0;
}

int write_bitmap_header(std::FILE* stream, const BitmapHeader& header) noexcept {
    uint8_t bytes[bitmap_header_size];
    uint8_t* p = bytes;
    *p++ = 'B';
    *p++ = 'M';
    p = put_le32(p, header.bfSize);
    p = put_le16(p, header.bfReserved1);
    p = put_le16(p, header.bfReserved2);
    p = put_le32(p, header.bfOffBits);
    p = put_le32(p, header.biSize);
    p = put_le32(p, header.biWidth);
    p = put_le32(p, header.biHeight);
    p = put_le16(p, header.biPlanes);
    p = put_le16(p, header.biBitCount);
    p = put_le32(p, header.biCompression);
    p = put_le32(p, header.biSizeImage);
    p = put_le32(p, header.biXPelsPerMeter);
    p = put_le32(p, header.biYPelsPerMeter);
    p = put_le32(p, header.biClrUsed);
    put_le32(p, header.biClrImportant);
    return std::fwrite(bytes, sizeof bytes, 1, stream) == 1 ? 0 : -1;
}
