// Decoding the shape blocks of the two game executables into the 256 x 64 sheet.
#include "gamedata/gamedata.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct DecodeCase {
    size_t block_offset; // the one non-zero pixel byte of the block
    uint8_t byte;
    size_t sheet_index; // where its first pixel lands
    std::vector<uint8_t> pixels;
};

// Decodes a block holding `byte` at one offset (and, for CGA, 0xFF in every record's two
// leading bytes) into a sheet prefilled with 0xEE: every sheet byte must be written, and
// only the expected pixels may be non-zero.
void check_decode(bool cga, const DecodeCase& c) {
    std::vector<uint8_t> block(cga ? cga_block_size : ega_block_size, 0);
    if (cga) {
        for (size_t s = 0; s < 64; ++s) {
            block[66 * s] = block[66 * s + 1] = 0xFF;
        }
    }
    block[c.block_offset] = c.byte;
    std::vector<uint8_t> sheet(16384, 0xEE), expected(16384, 0);
    for (size_t i = 0; i < c.pixels.size(); ++i) {
        expected[c.sheet_index + i] = c.pixels[i];
    }
    if (cga) {
        decode_cga_shapes(sheet.data(), block.data());
    } else {
        decode_ega_shapes(sheet.data(), block.data());
    }
    EXPECT_EQ(sheet, expected) << "block offset " << c.block_offset;
}

TEST(ExeShapes, CgaBlock) {
    const DecodeCase cases[] = {
        {2, 0x1B, 0, {0, 3, 5, 7}},                       // bit pairs 00 01 10 11
        {66 * 17 + 2, 0x1B, 16 * 256 + 16, {0, 3, 5, 7}}, // shape 17: tile row 1, column 1
        {66 * 17 + 2 + 4 * 3 + 2, 0xE4, 19 * 256 + 24, {7, 5, 3, 0}}, // its line 3, byte 2
        {4223, 0x1B, 63 * 256 + 252, {0, 3, 5, 7}},                   // the last byte
    };
    for (const auto& c : cases) {
        check_decode(true, c);
    }
}

TEST(ExeShapes, EgaBlock) {
    const DecodeCase cases[] = {
        {0, 0x1F, 0, {1, 15}},
        {128 * 17, 0x1F, 16 * 256 + 16, {1, 15}},
        {128 * 17 + 8 * 5 + 7, 0xA2, 21 * 256 + 30, {10, 2}},
        {8191, 0x2E, 63 * 256 + 254, {2, 14}},
    };
    for (const auto& c : cases) {
        check_decode(false, c);
    }
}

} // namespace
