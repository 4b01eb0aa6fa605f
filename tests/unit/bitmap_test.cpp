// SPDX-License-Identifier: MIT
// The bitmap module: row sizes, the exact file bytes of the writer at every bit count, and
// the reader's checks with their messages and result codes.
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

// The 54 header bytes, assembled here field by field (resolution and colour counts 0).
Bytes header_bytes(uint32_t file_size, uint32_t offset, uint32_t width, uint32_t height,
                   uint16_t bits, uint32_t image_size) {
    Bytes b{'B', 'M'};
    const std::pair<uint32_t, int> fields[] = {
        {file_size, 4}, {0, 4}, {offset, 4}, {40, 4}, {width, 4},
        {height, 4},    {1, 2}, {bits, 2},   {0, 4},  {image_size, 4}};
    for (const auto& field : fields) {
        for (int i = 0; i < field.second; ++i) {
            b.push_back(static_cast<uint8_t>(field.first >> (8 * i)));
        }
    }
    b.resize(54, 0);
    return b;
}

// A file of this test's own, named after it (the tests run in parallel, and a Windows C
// library's tmpfile() names may clash between processes), removed when it goes.
struct TempFile {
    std::string name;
    FilePtr file;
    ~TempFile() {
        file.reset();
        std::remove(name.c_str());
    }
};

TempFile temp_with(const Bytes& bytes, const char* tag = "") {
    const std::string name =
        testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(tag) + ".tmp";
    FilePtr file(std::fopen(name.c_str(), "w+b"));
    if (file && !bytes.empty()) {
        std::fwrite(bytes.data(), bytes.size(), 1, file.get());
        std::rewind(file.get());
    }
    return {name, std::move(file)};
}

// The file's bytes, read after its stream is closed (a gather write leaves it fit to close).
Bytes contents(TempFile* temp) {
    temp->file.reset();
    const FilePtr in(std::fopen(temp->name.c_str(), "rb"));
    Bytes out;
    for (int c; in && (c = std::fgetc(in.get())) != EOF;) {
        out.push_back(static_cast<uint8_t>(c));
    }
    return out;
}

TEST(BitmapHeader, RowSizesAndUnsupportedBitCounts) {
    const struct {
        uint32_t width, bits;
        int32_t size;
    } cases[] = {{1, 1, 4},  {33, 1, 8}, {5, 4, 4},   {9, 4, 8},   {1, 16, 4},
                 {1, 24, 4}, {2, 24, 8}, {3, 24, 12}, {3, 32, 12}, {5, 8, 8},
                 {8, 0, -1}, {8, 2, -1}, {8, 15, -1}, {8, 33, -1}, {8, 64, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(bitmap_row_size(c.width, c.bits), c.size) << c.width << "x" << c.bits;
        if (c.size < 0) { // the size fields are left as they were
            BitmapHeader h;
            h.bfSize = h.bfOffBits = h.biSizeImage = 7;
            EXPECT_EQ(create_bitmap_header(&h, 8, 8, static_cast<uint16_t>(c.bits)), -1);
            EXPECT_EQ(h.bfSize + h.bfOffBits + h.biSizeImage, 21u);
        }
    }
}

// Every bit count: exact file bytes (palette and rows behind the header), worked out by hand.
TEST(BitmapWriter, ExactBytes) {
    const Palette two = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    Bytes wide(33, 0); // width 33: pixel 32 alone in the fifth byte
    wide[0] = 1;
    wide[32] = 9;
    Bytes tall(300), tall_rows; // more padded rows than one gather write takes (128)
    for (size_t r = tall.size(); r-- > 0;) {
        tall[r] = static_cast<uint8_t>(r);
        tall_rows.insert(tall_rows.end(), {tall[r], 0, 0, 0});
    }
    const struct {
        uint16_t bits;
        uint32_t width, height;
        Bytes pixels;
        const Palette* palette;
        Bytes palette_bytes;
        Bytes rows; // as the file holds them: bottom row first, padded
    } cases[] = {
        // clang-format off
        {1, 10, 2, {1, 0, 0, 0, 0, 0, 0, 1, 5, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 2}, &two,
         {1, 2, 3, 4, 5, 6, 7, 8}, {0x7E, 0x40, 0, 0, 0x81, 0x80, 0, 0}},
        {1, 33, 1, wide, nullptr, Bytes(8), {0x80, 0, 0, 0, 0x80, 0, 0, 0}},
        {4, 3, 2, {1, 2, 3, 0x0A, 0x1F, 0xF0}, nullptr, Bytes(64),
         {0xAF, 0, 0, 0, 0x12, 0x30, 0, 0}},
        {8, 3, 2, {1, 2, 3, 4, 5, 6}, nullptr, Bytes(1024), {4, 5, 6, 0, 1, 2, 3, 0}},
        {8, 1, 300, tall, nullptr, Bytes(1024), tall_rows},
        {16, 3, 1, {1, 2, 3, 4, 5, 6}, nullptr, {}, {1, 2, 3, 4, 5, 6, 0, 0}},
        {24, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, &two, {},
         {7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0}},
        {32, 3, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, nullptr, {},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        BitmapHeader h;
        ASSERT_EQ(create_bitmap_header(&h, c.width, c.height, c.bits), 0);
        TempFile temp = temp_with({});
        ASSERT_TRUE(temp.file);
        CaptureStdout();
        const PixelBuffer pixels(c.pixels.begin(), c.pixels.end());
        EXPECT_EQ(write_bitmap(temp.file.get(), h, c.palette, pixels), 0);
        EXPECT_EQ(GetCapturedStdout(), "");
        const uint32_t offset = 54 + static_cast<uint32_t>(c.palette_bytes.size());
        const uint32_t size = static_cast<uint32_t>(c.rows.size());
        Bytes expected = header_bytes(offset + size, offset, c.width, c.height, c.bits, size);
        expected.insert(expected.end(), c.palette_bytes.begin(), c.palette_bytes.end());
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        EXPECT_EQ(contents(&temp), expected);
    }
}

TEST(BitmapWriter, Failures) {
    BitmapHeader h;
    ASSERT_EQ(create_bitmap_header(&h, 2, 2, 8), 0);
    const PixelBuffer pixels(4, 7);
    TempFile temp = temp_with({});
    ASSERT_TRUE(temp.file);
    // An unsupported bit count, or a buffer smaller than the image: nothing written or printed.
    CaptureStdout();
    h.biBitCount = 2;
    EXPECT_EQ(write_bitmap(temp.file.get(), h, nullptr, pixels), -1);
    h.biBitCount = 8;
    EXPECT_EQ(write_bitmap(temp.file.get(), h, nullptr, PixelBuffer(3)), -1);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(contents(&temp), Bytes{});

    // A stream that refuses writes fails at the header.
    TempFile read_only = temp_with({}, "-read-only");
    read_only.file.reset(std::fopen(read_only.name.c_str(), "rb"));
    ASSERT_TRUE(read_only.file);
    CaptureStdout();
    EXPECT_EQ(write_bitmap(read_only.file.get(), h, nullptr, pixels), -1);
    EXPECT_EQ(GetCapturedStdout(), "error: write_bitmap() - can't write bitmap header\n");

    // A stream whose error flag an earlier failure set (a read from a write-only stream): the
    // packed rows all go into its buffer, yet the result tells of the failure.
    TempFile spoiled = temp_with({}, "-spoiled");
    spoiled.file.reset(std::fopen(spoiled.name.c_str(), "wb"));
    // (The Windows C library sets no flag for such a read: nothing to see there.)
    if (std::fgetc(spoiled.file.get()) == EOF && std::ferror(spoiled.file.get())) {
        ASSERT_EQ(create_bitmap_header(&h, 16, 2, 4), 0);
        EXPECT_EQ(write_bitmap(spoiled.file.get(), h, nullptr, PixelBuffer(32)), -1);
    }

    // A full disk noticed only when the last packed bytes reach the stream: its buffer holds
    // the header and the palette (118 bytes), not the 16 bytes of rows behind them.
    FilePtr full(std::fopen("/dev/full", "wb"));
    if (!full) {
        GTEST_SKIP() << "needs /dev/full";
    }
    char buffer[128];
    std::setvbuf(full.get(), buffer, _IOFBF, sizeof buffer);
    ASSERT_EQ(create_bitmap_header(&h, 16, 2, 4), 0);
    EXPECT_EQ(write_bitmap(full.get(), h, nullptr, PixelBuffer(32)), -1);
    // ... and when the zero palette entries of an 8-bit file fill it.
    full.reset();
    FilePtr full_again(std::fopen("/dev/full", "wb"));
    std::setvbuf(full_again.get(), buffer, _IOFBF, sizeof buffer);
    ASSERT_EQ(create_bitmap_header(&h, 2, 2, 8), 0);
    CaptureStdout();
    EXPECT_EQ(write_bitmap(full_again.get(), h, nullptr, pixels), -1);
    EXPECT_EQ(GetCapturedStdout(), "error: write_bitmap() - can't write palette\n");
    full_again.reset();
}

// A valid 8-bit file of 4 x 2 pixels: 1078 + 8 = 0x43E bytes.
Bytes valid_8bit() {
    Bytes b = header_bytes(0x43E, 0x436, 4, 2, 8, 8);
    b.resize(0x436, 0x11);
    b.insert(b.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    return b;
}

TEST(BitmapReader, HeaderChecks) {
    const std::string cant_read = "error: read_bitmap() - can't read bitmap header\n";
    const std::string check = "error: check_bitmap_header() - ";
    const std::string corrected =
        "warning: check_bitmap_header() - data length is 0 ... corrected: ";
    const std::string length_0 = "warning: check_bitmap_header() - file length is 0\n";
    const std::string range = check + "image size out of range\n" + cant_read;
    enum { size = 2, off = 10, hsize = 14, wid = 18, hgt = 22, planes = 26, comp = 30, image = 34 };
    const struct {
        std::vector<std::pair<size_t, uint32_t>> changes; // (offset, 32-bit value)
        size_t cut;                                       // file length, 0: whole
        std::string out;
        int result;
    } cases[] = {
        // clang-format off
        {{}, 0, "", 0},
        {{{image, 0}}, 0, corrected + "0x8\n", 0},
        {{{size, 0}}, 0, length_0, 0},
        {{{image, 0}, {size, 0}}, 0, corrected + "0x8\n" + length_0, 0},
        {{{size, 0x43F}}, 0, "warning: check_bitmap_header() - file length 0x43F > 0x43E\n", 0},
        {{{size, 0x43D}}, 0, check + "file length 0x43D < 0x43E\n" + cant_read, -1},
        {{{hsize, 124}}, 0,
         check + "not supported header type - support only Windows V3\n" + cant_read, -1},
        // biPlanes and biBitCount share one 32-bit change: (2, 8), then (1, 2).
        {{{planes, 0x80002}}, 0, cant_read, -1},
        {{{comp, 1}}, 0, check + "not support compression\n" + cant_read, -1},
        {{{planes, 0x20001}}, 0, check + "unknown bit count\n" + cant_read, -1},
        {{{off, 118}}, 0, check + "offset size 0x76 != 0x436\n" + cant_read, -1},
        {{{image, 12}}, 0, check + "data length 0xC != 0x8\n" + cant_read, -1},
        {{{0, 0x043E5842}}, 0, cant_read, -1}, // "BX" instead of "BM"
        {{}, 53, cant_read, -1},
        {{}, 54 + 1000, "error: read_bitmap() - can't read palette\n", -1},
        {{}, 0x43E - 1, "error: read_bitmap() - can't read bitmap data\n", -1},
        // Sizes that wrap or make no image pass the nine checks but are refused after them.
        {{{wid, 0}, {image, 0}, {size, 0x436}}, 0, corrected + "0x0\n" + range, -1},
        {{{hgt, 0xFFFFFFFE}, {image, 0}, {size, 0}}, 0,
         corrected + "0xFFFFFFF8\n" + length_0 + range, -1},
        {{{wid, 0x10000}, {hgt, 0x10000}, {image, 0}, {size, 0x436}}, 0,
         corrected + "0x0\n" + range, -1},
        {{{wid, 0x8000}, {hgt, 0x10000}, {image, 1u << 31}, {size, 0x80000436}}, 0, range, -1},
        // A buffer that fits, but a padded row of 2 GiB does not.
        {{{wid, 0x7FFFFFFD}, {hgt, 1}, {image, 1u << 31}, {size, 0x80000436}}, 0, range, -1},
        // One pixel row less fits in 2 GiB: accepted, allocated, and then short of rows.
        {{{wid, 0x8000}, {hgt, 0xFFFF}, {image, 0x7FFF8000}, {size, 0x7FFF8436}}, 0,
         "error: read_bitmap() - can't read bitmap data\n", -1},
        // clang-format on
    };
    for (const auto& c : cases) {
        Bytes b = valid_8bit();
        for (const auto& change : c.changes) {
            for (int i = 0; i < 4; ++i) {
                b[change.first + i] = static_cast<uint8_t>(change.second >> (8 * i));
            }
        }
        b.resize(c.cut != 0 ? c.cut : b.size());
        SCOPED_TRACE(c.out);
        TempFile temp = temp_with(b);
        ASSERT_TRUE(temp.file);
        BitmapHeader h;
        Palette palette;
        PixelBuffer pixels;
        CaptureStdout();
        EXPECT_EQ(read_bitmap(temp.file.get(), &h, &palette, &pixels, 0), c.result);
        EXPECT_EQ(GetCapturedStdout(), c.out);
        if (c.out.rfind(check, 0) == 0) { // refused by the header check itself, not later
            CaptureStdout();
            EXPECT_EQ(check_bitmap_header(&h), -1);
            GetCapturedStdout();
        }
        if (c.result == 0) {
            EXPECT_EQ(h.biSizeImage, 8u);
            EXPECT_EQ(pixels, PixelBuffer({5, 6, 7, 8, 1, 2, 3, 4}));
            EXPECT_EQ(palette.size(), 256u);
            EXPECT_EQ(palette[255].red, 0x11);
        }
        if (c.cut > 54) { // buffers allocated before the failure stay with the caller
            EXPECT_EQ(pixels.size(), 8u);
            EXPECT_EQ(palette.size(), 256u);
        }
    }
}

TEST(BitmapReader, WarningCountAndOutArguments) {
    BitmapHeader h;
    ASSERT_EQ(create_bitmap_header(&h, 4, 2, 8), 0);
    h.biSizeImage = 0;
    h.bfSize = 0;
    CaptureStdout();
    EXPECT_EQ(check_bitmap_header(&h), 2);
    EXPECT_EQ(h.biSizeImage, 8u);

    TempFile temp = temp_with(valid_8bit());
    ASSERT_TRUE(temp.file);
    PixelBuffer pixels;
    EXPECT_EQ(read_bitmap(temp.file.get(), &h, nullptr, nullptr, 0), -3);
    // No palette wanted: its 1024 bytes are skipped.
    EXPECT_EQ(read_bitmap(temp.file.get(), &h, nullptr, &pixels, 0), 0);
    EXPECT_EQ(pixels, PixelBuffer({5, 6, 7, 8, 1, 2, 3, 4}));
    // Palettes of more than 256 entries are never read or written.
    Palette big(300);
    EXPECT_EQ(read_palette(temp.file.get(), &big, 257), -1);
    EXPECT_EQ(write_palette(temp.file.get(), big, 257), -1);
    // A header read by the caller is not read again, but checked; a buffer handed in is filled.
    h.biWidth = 0;
    EXPECT_EQ(read_bitmap(temp.file.get(), &h, nullptr, &pixels, 1), -1);
    TempFile short_temp = temp_with(Bytes(53, 'B'), "-short");
    EXPECT_EQ(read_bitmap_header(short_temp.file.get(), &h), -1);
    std::rewind(temp.file.get());
    PixelBuffer again(8, 0xEE);
    ASSERT_EQ(read_bitmap_header(temp.file.get(), &h), 0);
    EXPECT_EQ(read_bitmap(temp.file.get(), &h, nullptr, &again, 1), 0);
    EXPECT_EQ(again, pixels);
    EXPECT_EQ(GetCapturedStdout(), "warning: check_bitmap_header() - data length is 0 ... "
                                   "corrected: 0x8\nwarning: check_bitmap_header() - file "
                                   "length is 0\nerror: read_bitmap() - can't read bitmap "
                                   "header\n");
}

} // namespace
