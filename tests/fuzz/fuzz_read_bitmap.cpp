// Fuzz target: read_bitmap on any input, in every way a caller may call it.
//
// The whole input is the file. Its last byte chooses the call (its pixel bytes double as
// choices, so any BMP is a seed as it is):
//   bit 0  palette out-argument null (the palette is skipped) instead of a palette
//   bit 1  the palette handed in already filled, with (second-last byte % 300 + 1) entries
//   bit 2  the pixel buffer handed in already filled, with a size from the second-last byte
//   bit 3  the header read first with read_bitmap_header, then read_bitmap with
//          header_already_read 1 (only when the header was accepted)
//   bit 4  pixels out-argument null: must give -3 and read nothing
//   bit 5  after a successful read, write the image with write_bitmap and read it back
// After a successful read, the header, the palette and every pixel are checked against a
// plain decoding of the input bytes; a written image must have its header's length and
// read back unchanged (its palette entries zero when none was given).
//
// libFuzzer build:  clang++ -std=c++17 -fsanitize=fuzzer,address,undefined -Isrc
//                   tests/fuzz/fuzz_read_bitmap.cpp src/bitmap/*.cpp src/platform/*.cpp
// (or cmake -DKOPC_FUZZ=ON with clang; .ci/fuzz.sh does that and runs it).
#include "bitmap/bitmap.h"
#include "fuzz_input.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t max_round_trip = size_t{4} << 20; // bytes of pixels; slow above this
const PaletteEntry filler_entry = {0xA5, 0x5A, 0xC3, 0x3C};
constexpr uint8_t filler_byte = 0xA5;

// The pixel value of column x of a file row, for a buffer of one byte a pixel, or the
// byte k of a wider pixel.
uint8_t file_pixel_byte(const uint8_t* row, uint32_t x, uint32_t k, uint32_t bit_count) {
    switch (bit_count) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 15;
    default:
        return row[x * (bit_count / 8) + k];
    }
}

// Checks what an accepted read left in the header, the palette and the pixels.
void check_result(const uint8_t* data, size_t size, const BitmapHeader& header,
                  const Palette& palette, size_t palette_before, bool palette_wanted,
                  const PixelBuffer& pixels, size_t pixels_before) {
    const uint32_t bit_count = header.biBitCount;
    FUZZ_CHECK(bitmap_bit_count_supported(bit_count));
    FUZZ_CHECK(header.biSize == 40 && header.biPlanes == 1 && header.biCompression == 0);
    const uint64_t width = header.biWidth;
    const uint64_t height = header.biHeight;
    FUZZ_CHECK(width > 0 && height > 0);
    const uint64_t entries = bit_count <= 8 ? uint64_t{1} << bit_count : 0;
    const uint64_t offset = 54 + 4 * entries;
    const uint64_t row_size = ((width * bit_count + 7) / 8 + 3) / 4 * 4;
    const uint64_t bytes_per_pixel = (bit_count + 7) / 8;
    FUZZ_CHECK(header.bfOffBits == offset);
    FUZZ_CHECK(header.biSizeImage == static_cast<uint32_t>(row_size * height));
    // Every row was read, so the input holds them all behind the palette.
    FUZZ_CHECK(offset + row_size * height <= size);

    // The palette: filled from the file when wanted, otherwise left alone.
    if (palette_wanted && entries > 0) {
        FUZZ_CHECK(palette.size() == std::max<size_t>(palette_before, entries));
        for (uint64_t i = 0; i < entries; ++i) {
            const uint8_t* p = data + 54 + 4 * i;
            FUZZ_CHECK(palette[i].blue == p[0] && palette[i].green == p[1] &&
                       palette[i].red == p[2] && palette[i].reserved == p[3]);
        }
    } else {
        FUZZ_CHECK(palette.size() == palette_before);
    }

    // The pixels: top-down, unpacked, without padding; a larger buffer keeps its tail.
    const uint64_t line_size = width * bytes_per_pixel;
    const uint64_t image_size = line_size * height;
    FUZZ_CHECK(pixels.size() == std::max<size_t>(pixels_before, image_size));
    for (uint64_t r = 0; r < height; ++r) {
        const uint8_t* file_row = data + offset + (height - 1 - r) * row_size;
        const uint8_t* line = pixels.data() + r * line_size;
        for (uint32_t x = 0; x < width; ++x) {
            for (uint32_t k = 0; k < bytes_per_pixel; ++k) {
                FUZZ_CHECK(line[x * bytes_per_pixel + k] ==
                           file_pixel_byte(file_row, x, k, bit_count));
            }
        }
    }
    for (size_t i = image_size; i < pixels.size(); ++i) {
        FUZZ_CHECK(pixels[i] == filler_byte);
    }
}

// Writes the image that was read, with a created header, and reads the file back.
void check_round_trip(const BitmapHeader& header, const Palette* palette,
                      const PixelBuffer& pixels) {
    BitmapHeader created;
    FUZZ_CHECK(create_bitmap_header(&created, header.biWidth, header.biHeight, header.biBitCount) ==
               0);
    FilePtr file(std::tmpfile());
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(write_bitmap(file.get(), created, palette, pixels) == 0);
    FUZZ_CHECK(std::fflush(file.get()) == 0);
    FUZZ_CHECK(std::ftell(file.get()) == static_cast<long>(created.bfSize));
    std::rewind(file.get());

    BitmapHeader again;
    Palette palette_again;
    PixelBuffer pixels_again;
    FUZZ_CHECK(read_bitmap(file.get(), &again, &palette_again, &pixels_again, 0) == 0);
    FUZZ_CHECK(again.bfSize == created.bfSize && again.bfOffBits == created.bfOffBits &&
               again.biWidth == created.biWidth && again.biHeight == created.biHeight &&
               again.biBitCount == created.biBitCount && again.biSizeImage == created.biSizeImage);
    FUZZ_CHECK(pixels_again.size() <= pixels.size());
    FUZZ_CHECK(std::equal(pixels_again.begin(), pixels_again.end(), pixels.begin()));
    const size_t entries = header.biBitCount <= 8 ? size_t{1} << header.biBitCount : 0;
    FUZZ_CHECK(palette_again.size() == entries);
    for (size_t i = 0; i < entries; ++i) {
        const PaletteEntry want = palette != nullptr ? (*palette)[i] : PaletteEntry{0, 0, 0, 0};
        FUZZ_CHECK(std::memcmp(&palette_again[i], &want, sizeof want) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || fuzz_too_big(data, size)) {
        return 0;
    }
    const uint8_t choice = data[size - 1];
    const uint8_t amount = data[size - 2];
    const bool palette_wanted = (choice & 1) == 0;
    FilePtr stream(fuzz_open_input(data, size));
    FUZZ_CHECK(stream != nullptr);

    BitmapHeader header;
    Palette palette;
    PixelBuffer pixels;
    if (choice & 2) {
        palette.assign(amount % 300 + 1, filler_entry);
    }
    if (choice & 4) {
        pixels.assign(amount * size_t{257} % 70000 + 1, filler_byte);
    }
    int header_already_read = 0;
    if (choice & 8) {
        if (read_bitmap_header(stream.get(), &header) < 0) {
            return 0;
        }
        header_already_read = 1;
    }
    const size_t palette_before = palette.size();
    const size_t pixels_before = pixels.size();
    Palette* palette_argument = palette_wanted ? &palette : nullptr;

    if (choice & 16) {
        const long position = std::ftell(stream.get());
        FUZZ_CHECK(read_bitmap(stream.get(), &header, palette_argument, nullptr,
                               header_already_read) == bitmap_no_pixel_buffer);
        FUZZ_CHECK(std::ftell(stream.get()) == position);
        FUZZ_CHECK(palette.size() == palette_before && pixels.size() == pixels_before);
        return 0;
    }
    const int result =
        read_bitmap(stream.get(), &header, palette_argument, &pixels, header_already_read);
    FUZZ_CHECK(result == 0 || result == -1 || result == bitmap_out_of_memory);
    if (result == 0) {
        check_result(data, size, header, palette, palette_before, palette_wanted, pixels,
                     pixels_before);
        if ((choice & 32) && pixels.size() <= max_round_trip) {
            check_round_trip(header, palette_wanted ? &palette : nullptr, pixels);
        }
    }
    return 0;
}
