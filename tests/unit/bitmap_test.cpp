// The bitmap file module: header construction and bytes, row sizes, the exact file bytes
// of the writer at every bit count, and the reader's checks with their messages and codes.
#include "bitmap/bitmap.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

void append_le(Bytes* out, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// The 54 header bytes, assembled here field by field.
Bytes header_bytes(uint32_t file_size, uint32_t offset, uint32_t width, uint32_t height,
                   uint16_t bits, uint32_t image_size) {
    Bytes b{'B', 'M'};
    append_le(&b, file_size, 4);
    append_le(&b, 0, 4); // reserved
    append_le(&b, offset, 4);
    append_le(&b, 40, 4);
    append_le(&b, width, 4);
    append_le(&b, height, 4);
    append_le(&b, 1, 2);
    append_le(&b, bits, 2);
    append_le(&b, 0, 4); // compression
    append_le(&b, image_size, 4);
    b.resize(54, 0); // resolution and colour counts
    return b;
}

Bytes bytes_of(const PixelBuffer& pixels) {
    return Bytes(pixels.begin(), pixels.end());
}

Bytes contents(std::FILE* stream) {
    std::rewind(stream);
    Bytes out;
    for (int c; (c = std::fgetc(stream)) != EOF;) {
        out.push_back(static_cast<uint8_t>(c));
    }
    return out;
}

Bytes palette_bytes(const Palette& palette) {
    Bytes out;
    for (const PaletteEntry& e : palette) {
        out.insert(out.end(), {e.blue, e.green, e.red, e.reserved});
    }
    return out;
}

FilePtr temp_with(const Bytes& bytes) {
    FilePtr file(std::tmpfile());
    if (file && !bytes.empty()) {
        std::fwrite(bytes.data(), bytes.size(), 1, file.get());
        std::rewind(file.get());
    }
    return file;
}

TEST(BitmapHeader, CreateForMapImages) {
    // 1024 x 1024 at 4 bits: offset 118, rows of 512 bytes, 0x80000 + 118 bytes in all.
    BitmapHeader h;
    FilePtr file(std::tmpfile());
    ASSERT_TRUE(file);
    ASSERT_EQ(create_bitmap_header(&h, 1024, 1024, 4), 0);
    ASSERT_EQ(write_bitmap_header(file.get(), h), 0);
    EXPECT_EQ(contents(file.get()), header_bytes(0x80076, 118, 1024, 1024, 4, 0x80000));
}

TEST(BitmapHeader, UnsupportedBitCountsLeaveSizes) {
    for (uint16_t bits : {0, 2, 15, 33, 64}) {
        BitmapHeader h;
        h.bfSize = 11;
        h.bfOffBits = 22;
        h.biSizeImage = 33;
        EXPECT_EQ(create_bitmap_header(&h, 8, 8, bits), -1) << bits;
        EXPECT_EQ(bitmap_row_size(8, bits), -1) << bits;
        EXPECT_EQ(h.bfSize + h.bfOffBits + h.biSizeImage, 66u);
        EXPECT_EQ(h.biSize, 40u); // set before the bit count is looked at
        EXPECT_EQ(h.biPlanes, 1);
    }
}

TEST(BitmapHeader, RowSizes) {
    const struct {
        uint32_t width, bits;
        int32_t size;
    } cases[] = {{1, 1, 4},  {33, 1, 8}, {5, 4, 4},   {9, 4, 8},   {1, 16, 4},
                 {1, 24, 4}, {2, 24, 8}, {3, 24, 12}, {3, 32, 12}, {5, 8, 8}};
    for (const auto& c : cases) {
        EXPECT_EQ(bitmap_row_size(c.width, c.bits), c.size) << c.width << "x" << c.bits;
    }
}

// Every bit count: exact file bytes (palette and rows behind the header), worked out by hand.
TEST(BitmapWriter, ExactBytes) {
    const Palette two = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    const Bytes zeros64(64), zeros1024(1024);
    Bytes wide(33, 0); // width 33: pixel 32 alone in the fifth byte
    wide[0] = 1;
    wide[32] = 9;
    const struct {
        uint16_t bits;
        uint32_t width, height;
        Bytes pixels;
        const Palette* palette;
        Bytes palette_bytes;
        Bytes rows; // as the file holds them: bottom row first, padded
    } cases[] = {
        {1,
         10,
         2,
         {1, 0, 0, 0, 0, 0, 0, 1, 5, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 2},
         &two,
         {1, 2, 3, 4, 5, 6, 7, 8},
         {0x7E, 0x40, 0, 0, 0x81, 0x80, 0, 0}},
        {1, 33, 1, wide, nullptr, Bytes(8), {0x80, 0, 0, 0, 0x80, 0, 0, 0}},
        {4, 3, 2, {1, 2, 3, 0x0A, 0x1F, 0xF0}, nullptr, zeros64, {0xAF, 0, 0, 0, 0x12, 0x30, 0, 0}},
        {8, 3, 2, {1, 2, 3, 4, 5, 6}, nullptr, zeros1024, {4, 5, 6, 0, 1, 2, 3, 0}},
        {16, 3, 1, {1, 2, 3, 4, 5, 6}, nullptr, {}, {1, 2, 3, 4, 5, 6, 0, 0}},
        {24,
         2,
         2,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         &two,
         {},
         {7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0}},
        {32,
         3,
         1,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         nullptr,
         {},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        BitmapHeader h;
        ASSERT_EQ(create_bitmap_header(&h, c.width, c.height, c.bits), 0);
        FilePtr file(std::tmpfile());
        ASSERT_TRUE(file);
        CaptureStdout();
        const PixelBuffer pixels(c.pixels.begin(), c.pixels.end());
        EXPECT_EQ(write_bitmap(file.get(), h, c.palette, pixels), 0);
        EXPECT_EQ(GetCapturedStdout(), "");
        const uint32_t offset = 54 + static_cast<uint32_t>(c.palette_bytes.size());
        const uint32_t size = static_cast<uint32_t>(c.rows.size());
        Bytes expected = header_bytes(offset + size, offset, c.width, c.height, c.bits, size);
        expected.insert(expected.end(), c.palette_bytes.begin(), c.palette_bytes.end());
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        EXPECT_EQ(contents(file.get()), expected);
    }
}

TEST(BitmapWriter, Failures) {
    BitmapHeader h;
    ASSERT_EQ(create_bitmap_header(&h, 2, 2, 8), 0);
    const PixelBuffer pixels(4, 7);
    // An unsupported bit count: nothing written, nothing printed.
    h.biBitCount = 2;
    FilePtr file(std::tmpfile());
    ASSERT_TRUE(file);
    CaptureStdout();
    EXPECT_EQ(write_bitmap(file.get(), h, nullptr, pixels), -1);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(contents(file.get()), Bytes{});

    // A stream that refuses writes fails at the header.
    const char name[] = "bitmap_test_read_only.tmp";
    {
        FilePtr created(std::fopen(name, "wb"));
        ASSERT_TRUE(created);
    }
    FilePtr read_only(std::fopen(name, "rb"));
    ASSERT_TRUE(read_only);
    h.biBitCount = 8;
    CaptureStdout();
    EXPECT_EQ(write_bitmap(read_only.get(), h, nullptr, pixels), -1);
    EXPECT_EQ(GetCapturedStdout(), "error: write_bitmap() - can't write bitmap header\n");
    read_only.reset();
    std::remove(name);
}

TEST(BitmapReader, RoundTrip) {
    for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        const uint32_t width = 7, height = 3;
        const uint32_t bpp = (bits + 7u) / 8;
        PixelBuffer pixels(width * height * bpp);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<uint8_t>((i * 37 + 11) % (bits == 4 ? 16 : 256));
        }
        Palette palette;
        for (int i = 0; i < bitmap_palette_entries(bits); ++i) {
            palette.push_back({uint8_t(i), uint8_t(3 * i), uint8_t(255 - i), 0});
        }
        BitmapHeader h;
        ASSERT_EQ(create_bitmap_header(&h, width, height, bits), 0);
        FilePtr file(std::tmpfile());
        ASSERT_TRUE(file);
        ASSERT_EQ(write_bitmap(file.get(), h, palette.empty() ? nullptr : &palette, pixels), 0);
        std::rewind(file.get());

        BitmapHeader back;
        Palette palette_back;
        PixelBuffer pixels_back;
        CaptureStdout();
        EXPECT_EQ(read_bitmap(file.get(), &back, &palette_back, &pixels_back, 0), 0);
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_EQ(
            (std::vector<uint32_t>{back.bfSize, back.bfOffBits, back.biSizeImage, back.biWidth,
                                   back.biHeight, back.biBitCount}),
            (std::vector<uint32_t>{h.bfSize, h.bfOffBits, h.biSizeImage, width, height, bits}));
        EXPECT_EQ(palette_bytes(palette_back), palette_bytes(palette));
        if (bits == 1) {
            for (uint8_t& p : pixels) {
                p = p != 0;
            }
        }
        EXPECT_EQ(pixels_back, pixels);
    }
}

// A valid 8-bit file of 4 x 2 pixels: 1078 + 8 = 0x43E bytes.
Bytes valid_8bit() {
    Bytes b = header_bytes(0x43E, 0x436, 4, 2, 8, 8);
    b.resize(0x436, 0x11);
    b.insert(b.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    return b;
}

void set_le32(Bytes* b, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        (*b)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

TEST(BitmapReader, HeaderChecks) {
    const std::string cant_read = "error: read_bitmap() - can't read bitmap header\n";
    const std::string check = "error: check_bitmap_header() - ";
    const std::string corrected =
        "warning: check_bitmap_header() - data length is 0 ... corrected: ";
    const std::string length_0 = "warning: check_bitmap_header() - file length is 0\n";
    enum {
        size = 2,
        off = 10,
        hsize = 14,
        wid = 18,
        hgt = 22,
        planes = 26,
        bits = 28,
        comp = 30,
        image = 34,
        used = 46
    };
    const struct {
        std::vector<std::pair<size_t, uint32_t>> changes; // (offset, 32-bit value)
        size_t cut;                                       // file length, 0: whole
        std::string out;
        int result;
    } cases[] = {
        {{}, 0, "", 0},
        {{{image, 0}}, 0, corrected + "0x8\n", 0},
        {{{size, 0}}, 0, length_0, 0},
        {{{image, 0}, {size, 0}}, 0, corrected + "0x8\n" + length_0, 0},
        {{{size, 0x43F}}, 0, "warning: check_bitmap_header() - file length 0x43F > 0x43E\n", 0},
        {{{size, 0x43D}}, 0, check + "file length 0x43D < 0x43E\n" + cant_read, -1},
        {{{hsize, 124}},
         0,
         check + "not supported header type - support only Windows V3\n" + cant_read,
         -1},
        // biPlanes and biBitCount share one 32-bit change: (2, 8), then (1, 2).
        {{{planes, 0x80002}}, 0, cant_read, -1},
        {{{comp, 1}}, 0, check + "not support compression\n" + cant_read, -1},
        {{{planes, 0x20001}}, 0, check + "unknown bit count\n" + cant_read, -1},
        {{{off, 118}, {used, 16}}, 0, check + "offset size 0x76 != 0x436\n" + cant_read, -1},
        {{{image, 12}}, 0, check + "data length 0xC != 0x8\n" + cant_read, -1},
        {{{0, 0x043E5842}}, 0, cant_read, -1}, // "BX" instead of "BM"
        {{}, 53, cant_read, -1},
        {{}, 54 + 1000, "error: read_bitmap() - can't read palette\n", -1},
        {{}, 0x43E - 1, "error: read_bitmap() - can't read bitmap data\n", -1},
        // Sizes that wrap or make no image pass the nine checks but are refused after them.
        {{{wid, 0}, {image, 0}, {size, 0x436}},
         0,
         corrected + "0x0\n" + check + "image size out of range\n" + cant_read,
         -1},
        {{{hgt, 0xFFFFFFFE}, {image, 0}, {size, 0}},
         0,
         corrected + "0xFFFFFFF8\n" + length_0 + check + "image size out of range\n" + cant_read,
         -1},
        {{{wid, 0x10000}, {hgt, 0x10000}, {image, 0}, {size, 0x436}},
         0,
         corrected + "0x0\n" + check + "image size out of range\n" + cant_read,
         -1},
    };
    for (const auto& c : cases) {
        Bytes b = valid_8bit();
        for (const auto& change : c.changes) {
            set_le32(&b, change.first, change.second);
        }
        if (c.cut != 0) {
            b.resize(c.cut);
        }
        SCOPED_TRACE(c.out);
        FilePtr file = temp_with(b);
        ASSERT_TRUE(file);
        BitmapHeader h;
        Palette palette;
        PixelBuffer pixels;
        CaptureStdout();
        EXPECT_EQ(read_bitmap(file.get(), &h, &palette, &pixels, 0), c.result);
        EXPECT_EQ(GetCapturedStdout(), c.out);
        if (c.result == 0) {
            EXPECT_EQ(h.biSizeImage, 8u);
            EXPECT_EQ(bytes_of(pixels), (Bytes{5, 6, 7, 8, 1, 2, 3, 4}));
        }
        if (c.cut > 54) { // buffers allocated before the failure stay with the caller
            EXPECT_EQ(pixels.size(), 8u);
            EXPECT_EQ(palette.size(), 256u);
        }
    }
}

TEST(BitmapReader, CheckCountsWarnings) {
    BitmapHeader h;
    ASSERT_EQ(create_bitmap_header(&h, 4, 2, 8), 0);
    h.biSizeImage = 0;
    h.bfSize = 0;
    CaptureStdout();
    EXPECT_EQ(check_bitmap_header(&h), 2);
    GetCapturedStdout();
    EXPECT_EQ(h.biSizeImage, 8u);
}

TEST(BitmapReader, OutArguments) {
    FilePtr file = temp_with(valid_8bit());
    ASSERT_TRUE(file);
    BitmapHeader h;
    PixelBuffer pixels;
    CaptureStdout();
    EXPECT_EQ(read_bitmap(file.get(), &h, nullptr, nullptr, 0), -3);
    EXPECT_EQ(GetCapturedStdout(), "");
    // No palette wanted: its 1024 bytes are skipped.
    EXPECT_EQ(read_bitmap(file.get(), &h, nullptr, &pixels, 0), 0);
    EXPECT_EQ(bytes_of(pixels), (Bytes{5, 6, 7, 8, 1, 2, 3, 4}));
    // A header read by the caller is not read again.
    std::rewind(file.get());
    PixelBuffer again;
    ASSERT_EQ(read_bitmap_header(file.get(), &h), 0);
    EXPECT_EQ(read_bitmap(file.get(), &h, nullptr, &again, 1), 0);
    EXPECT_EQ(again, pixels);
}

} // namespace
