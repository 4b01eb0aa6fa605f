// SPDX-License-Identifier: MIT
// Bitmap file module: a reader and writer of uncompressed Windows V3 BMP files
// (BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up rows, 1/4/8/16/24/32 bits). Of the
// other modules it uses only the platform layer: pixel buffers take their memory from it,
// and the writer hands whole rows to the host's gather write and has 4-bit rows packed
// there.
//
// In memory an image is always a "pixel buffer": rows top-down with no padding, one byte
// per pixel (the palette index) for 1, 4 and 8 bits, and the pixel's file bytes unchanged
// for 16, 24 and 32 bits. Bit packing, bottom-up order and 4-byte row padding exist only
// in the file. The module knows nothing of maps or tiles.
//
// Only write_bitmap, read_bitmap and check_bitmap_header print (to standard output);
// every other function only returns a code. Results are 0 for success, negative for
// failure, unless a function says otherwise.
#ifndef KOPC_BITMAP_BITMAP_H
#define KOPC_BITMAP_BITMAP_H

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// The in-memory header: the file header and the V3 info header, field for field in file
// order, each with its file width. The "BM" signature is not stored.
struct BitmapHeader {
    uint32_t bfSize = 0;
    uint16_t bfReserved1 = 0;
    uint16_t bfReserved2 = 0;
    uint32_t bfOffBits = 0;
    uint32_t biSize = 0;
    uint32_t biWidth = 0;
    uint32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    uint32_t biXPelsPerMeter = 0;
    uint32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// Hands out memory for pixel buffers, from the platform layer (large buffers straight from
// the system's pages), without clearing it: the owner of a buffer writes every byte before
// it reads it (the reader fills each row it decodes), so clearing would only cost time, and
// would make a header that promises a huge image cost that memory at once even when the
// file ends after a few bytes.
template <typename T> struct UninitializedAllocator {
    using value_type = T;
    UninitializedAllocator() = default;
    template <typename U> UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    T* allocate(std::size_t count) {
        void* block =
            count <= SIZE_MAX / sizeof(T) ? platform_allocate(count * sizeof(T)) : nullptr;
        if (block == nullptr) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(block);
    }
    void deallocate(T* pointer, std::size_t count) noexcept {
        platform_release(pointer, count * sizeof(T));
    }
    // Value-less construction leaves the element as it is: no clearing.
    template <typename U> void construct(U* pointer) noexcept {
        ::new (static_cast<void*>(pointer)) U;
    }
    template <typename U, typename... Args> void construct(U* pointer, Args&&... args) {
        ::new (static_cast<void*>(pointer)) U(std::forward<Args>(args)...);
    }
};
template <typename T, typename U>
bool operator==(const UninitializedAllocator<T>&, const UninitializedAllocator<U>&) noexcept {
    return true;
}
template <typename T, typename U>
bool operator!=(const UninitializedAllocator<T>&, const UninitializedAllocator<U>&) noexcept {
    return false;
}

// A pixel buffer (see the top of this file). New elements are not cleared.
using PixelBuffer = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

// One colour table entry, in file byte order.
struct PaletteEntry {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};

// Exactly 2, 16 or 256 entries for 1, 4 and 8 bits; empty for 16, 24 and 32 bits.
using Palette = std::vector<PaletteEntry>;

constexpr uint32_t bitmap_file_header_size = 14;
constexpr uint32_t bitmap_info_header_size = 40; // the only header version accepted
constexpr uint32_t bitmap_header_size = bitmap_file_header_size + bitmap_info_header_size;
constexpr int32_t bitmap_max_palette_entries = 256;
// Largest width, height, row or pixel buffer in bytes: every size the module derives must
// fit a signed 32-bit number, so that no product of them can wrap.
constexpr uint32_t bitmap_max_size = 0x7FFFFFFF;

// Grows `buffer` to at least `count` elements, new ones copies of `value` if one is given
// (left uncleared in a PixelBuffer otherwise); a larger buffer stays as it is. False
// instead of an exception when memory runs out.
template <typename Buffer, typename... Value>
bool grow_buffer(Buffer* buffer, std::size_t count, const Value&... value) noexcept {
    try {
        if (buffer->size() < count) {
            buffer->resize(count, value...);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Little-endian byte cursors; values are assembled byte by byte on every host.
uint8_t* put_le32(uint8_t* cursor, uint32_t value) noexcept;
uint8_t* put_le16(uint8_t* cursor, uint32_t value) noexcept;
uint32_t get_le32(const uint8_t* cursor, const uint8_t** next = nullptr) noexcept;
uint32_t get_le16(const uint8_t* cursor, const uint8_t** next = nullptr) noexcept;

// Bytes per pixel in a pixel buffer: 1 for 1, 4 and 8 bits; 2, 3, 4 for 16, 24, 32.
inline uint32_t bitmap_bytes_per_pixel(uint32_t bit_count) noexcept {
    return (bit_count + 7) / 8;
}

// True for the bit counts the module reads and writes: 1, 4, 8, 16, 24, 32.
bool bitmap_bit_count_supported(uint32_t bit_count) noexcept;

// Palette entries for a bit count: 2, 16 or 256 for 1, 4, 8 bits, else 0.
int32_t bitmap_palette_entries(uint32_t bit_count) noexcept;

// Bytes of one file row, padded to a multiple of 4; -1 for an unsupported bit count.
// Computed in unsigned 32-bit arithmetic, like every size in the header.
int32_t bitmap_row_size(uint32_t width, uint32_t bit_count) noexcept;

// Where an image's bytes go, in memory and in the file.
struct BitmapGeometry {
    uint32_t line_size;  // one row of the pixel buffer: width x bytes per pixel
    uint32_t row_bytes;  // the pixels of one file row (packed for 1 and 4 bits)
    uint32_t row_size;   // a file row with its padding
    uint32_t image_size; // the whole pixel buffer: line_size x height
};

// The geometry of a width x height image. -1 for an unsupported bit count, or when the
// height, a row or the pixel buffer would be larger than bitmap_max_size; sizes are
// checked by division before they are multiplied, so nothing wraps.
int bitmap_geometry(uint32_t width, uint32_t height, uint32_t bit_count,
                    BitmapGeometry* geometry) noexcept;

// Fills `header` for an image of width x height pixels. -1 for an unsupported bit count
// (the size fields are then left as they were).
int create_bitmap_header(BitmapHeader* header, uint32_t width, uint32_t height,
                         uint16_t bit_count) noexcept;

// Writes the 54 header bytes as one item. -1 when the write fails.
int write_bitmap_header(std::FILE* stream, const BitmapHeader& header) noexcept;

// Writes `entries` palette entries (0..256, at most palette.size()) as one item.
int write_palette(std::FILE* stream, const Palette& palette, int32_t entries) noexcept;

// Writes a whole BMP file: header, palette (zero entries when `palette` is null), rows
// bottom-up with padding. `pixels` must hold biWidth x biHeight x bytes-per-pixel bytes.
// A failed write anywhere, the rows included, gives -1.
int write_bitmap(std::FILE* stream, const BitmapHeader& header, const Palette* palette,
                 const PixelBuffer& pixels) noexcept;

// Validates a header: returns the number of warnings printed (0..2) when it accepts it,
// -1 when it refuses it. May store the computed data length into biSizeImage.
int check_bitmap_header(BitmapHeader* header) noexcept;

// Reads the 54-byte header and returns check_bitmap_header's result, or -1 when no
// header with the "BM" signature could be read. Prints nothing itself.
int read_bitmap_header(std::FILE* stream, BitmapHeader* header) noexcept;

// Reads `entries` (0..256) palette entries as one item into `palette`, which must hold
// that many. Prints nothing.
int read_palette(std::FILE* stream, Palette* palette, int32_t entries) noexcept;

// Result codes of read_bitmap besides 0 and -1.
constexpr int bitmap_out_of_memory = -2;
constexpr int bitmap_no_pixel_buffer = -3;

// Reads a BMP file from `stream` (at its start, or just behind the header when
// header_already_read is not 0 and `header` holds the accepted header).
// `palette` may be null (the palette is then skipped); `pixels` must not be (-3).
// An empty vector is allocated here; the caller owns it whatever the result. A
// non-empty vector is filled in place (grown first if it is too small).
int read_bitmap(std::FILE* stream, BitmapHeader* header, Palette* palette, PixelBuffer* pixels,
                int header_already_read) noexcept;

#endif
