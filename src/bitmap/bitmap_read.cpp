// BMP reader and header validator. Reading is strictly sequential: header, then the
// palette directly behind it, then the rows directly behind the palette (the header check
// insists that bfOffBits says exactly that). Rows are unpacked to one byte per pixel for
// 1 and 4 bits, stripped of padding and turned top-down.
//
// Every size is validated before anything is allocated: no header, however crafted, makes
// the reader allocate a wrapped size or write outside a buffer.
#include "bitmap.h"

#include <cstring>
#include <new>

static const char msg_header_type[] =
    "error: check_bitmap_header() - not supported header type - support only Windows V3";
static const char msg_compression[] = "error: check_bitmap_header() - not support compression";
static const char msg_bit_count[] = "error: check_bitmap_header() - unknown bit count";
static const char fmt_offset[] = "error: check_bitmap_header() - offset size 0x%X != 0x%X\n";
static const char fmt_data_length_0[] =
    "warning: check_bitmap_header() - data length is 0 ... corrected: 0x%X\n";
static const char fmt_data_length[] = "error: check_bitmap_header() - data length 0x%X != 0x%X\n";
static const char msg_file_length_0[] = "warning: check_bitmap_header() - file length is 0";
static const char fmt_file_longer[] = "warning: check_bitmap_header() - file length 0x%X > 0x%X\n";
static const char fmt_file_shorter[] = "error: check_bitmap_header() - file length 0x%X < 0x%X\n";
static const char msg_out_of_range[] = "error: check_bitmap_header() - image size out of range";
static const char msg_cant_read_header[] = "error: read_bitmap() - can't read bitmap header";
static const char msg_cant_read_palette[] = "error: read_bitmap() - can't read palette";
static const char msg_cant_read_data[] = "error: read_bitmap() - can't read bitmap data";
static const char msg_memory[] = "error: memory exhaust!";

namespace {

// Sizes of an image that passed the range check; each fits a signed 32-bit number.
struct ImageSizes {
    uint32_t row_size;    // one file row with its padding
    uint32_t buffer_size; // the whole pixel buffer
};

// Computes the row and buffer sizes in 64 bits, so nothing wraps, and accepts them only
// when the dimensions are non-zero and every size fits bitmap_max_size.
bool image_sizes_in_range(const BitmapHeader& header, ImageSizes* sizes) {
    const uint64_t width = header.biWidth;
    const uint64_t height = header.biHeight;
    const uint32_t bit_count = header.biBitCount;
    if (!bitmap_bit_count_supported(bit_count) || width == 0 || height == 0 ||
        width > bitmap_max_size || height > bitmap_max_size) {
        return false;
    }
    const uint64_t row_size = ((width * bit_count + 7) / 8 + 3) & ~uint64_t{3};
    const uint64_t buffer_size = width * height * bitmap_bytes_per_pixel(bit_count);
    if (row_size > bitmap_max_size || buffer_size > bitmap_max_size) {
        return false;
    }
    sizes->row_size = static_cast<uint32_t>(row_size);
    sizes->buffer_size = static_cast<uint32_t>(buffer_size);
    return true;
}

// Grows `buffer` to at least `size` elements. False when memory runs out.
template <typename Buffer> bool reserve_buffer(Buffer* buffer, size_t size) {
    if (buffer->size() >= size) {
        return true;
    }
    try {
        buffer->resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Unpacks one file row into one buffer row of `width` pixels.
void decode_row(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t bit_count) {
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
        std::memcpy(out, in, static_cast<size_t>(width) * (bit_count / 8));
    }
}

} // namespace

int check_bitmap_header(BitmapHeader* header) noexcept {
    if (header->biSize != bitmap_info_header_size) {
        std::puts(msg_header_type);
        return -1;
    }
    if (header->biPlanes != 1) {
        return -1;
    }
    if (header->biCompression != 0) {
        std::puts(msg_compression);
        return -1;
    }
    if (!bitmap_bit_count_supported(header->biBitCount)) {
        std::puts(msg_bit_count);
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
        std::printf(fmt_offset, static_cast<unsigned>(header->bfOffBits),
                    static_cast<unsigned>(expected_offset));
        return -1;
    }
    int warnings = 0;
    if (header->biSizeImage == 0) {
        header->biSizeImage = data_length;
        std::printf(fmt_data_length_0, static_cast<unsigned>(data_length));
        ++warnings;
    }
    if (header->biSizeImage != data_length) {
        std::printf(fmt_data_length, static_cast<unsigned>(header->biSizeImage),
                    static_cast<unsigned>(data_length));
        return -1;
    }
    if (header->bfSize == 0) {
        std::puts(msg_file_length_0);
        ++warnings;
    } else if (header->bfSize > expected_file_length) {
        std::printf(fmt_file_longer, static_cast<unsigned>(header->bfSize),
                    static_cast<unsigned>(expected_file_length));
        ++warnings;
    } else if (header->bfSize < expected_file_length) {
        std::printf(fmt_file_shorter, static_cast<unsigned>(header->bfSize),
                    static_cast<unsigned>(expected_file_length));
        return -1;
    }

    // The checks above work in wrapping 32-bit arithmetic and let some impossible sizes
    // through (a top-down height, or lengths that wrapped to agree); refuse those here.
    ImageSizes sizes;
    if (!image_sizes_in_range(*header, &sizes)) {
        std::puts(msg_out_of_range);
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
    ImageSizes sizes;
    if (header_already_read == 0) {
        if (read_bitmap_header(stream, header) < 0) {
            std::puts(msg_cant_read_header);
            return -1;
        }
    }
    // A header handed in by the caller has not been through our range check; one read
    // here has, and passes again.
    if (!image_sizes_in_range(*header, &sizes)) {
        std::puts(msg_cant_read_header);
        return -1;
    }

    if (!reserve_buffer(pixels, sizes.buffer_size)) {
        std::puts(msg_memory);
        return bitmap_out_of_memory;
    }

    const uint32_t bit_count = header->biBitCount;
    const int32_t entries = bitmap_palette_entries(bit_count);
    if (entries > 0) {
        if (palette == nullptr) {
            // Skipped, not checked: a failed move shows up as a failed row read.
            std::fseek(stream, 4L * entries, SEEK_CUR);
        } else {
            if (!reserve_buffer(palette, static_cast<size_t>(entries))) {
                std::puts(msg_memory);
                return bitmap_out_of_memory;
            }
            if (read_palette(stream, palette, entries) != 0) {
                std::puts(msg_cant_read_palette);
                return -1;
            }
        }
    }

    PixelBuffer row; // each row is read whole before it is decoded
    if (!reserve_buffer(&row, sizes.row_size)) {
        std::puts(msg_memory);
        return bitmap_out_of_memory;
    }
    const uint32_t width = header->biWidth;
    const size_t line_size = static_cast<size_t>(width) * bitmap_bytes_per_pixel(bit_count);
    for (uint32_t r = header->biHeight; r-- > 0;) {
        if (std::fread(row.data(), sizes.row_size, 1, stream) != 1) {
            std::puts(msg_cant_read_data);
            return -1;
        }
        decode_row(row.data(), pixels->data() + line_size * r, width, bit_count);
    }
    return 0;
}
