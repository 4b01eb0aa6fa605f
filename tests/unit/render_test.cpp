// The map renderer: the NPC slot scan, the mismatch lines, time doors and the tile copy.
#include "render/render.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Slot {
    int slot, x, y, shown, ground;
};

struct Flags {
    int time_doors, no_npcs, no_mon_files, ignore_diff;
};

// The map's own shape at (c, r); its tile byte also carries low bits (r mod 4).
int map_shape(int c, int r) {
    return (c * 3 + r) % 64;
}

// Renders catalogue row `row` with 1 x 1 tiles whose single pixel is the shape number,
// so the image holds the shape drawn in every cell. Returns the image and the output.
std::pair<std::vector<uint8_t>, std::string> render(int row, const std::vector<Slot>& slots,
                                                    Flags f) {
    ShapeSet shapes;
    shapes.tile_width = shapes.tile_height = 1;
    shapes.bit_count = 8;
    shapes.bytes_per_pixel = 1;
    for (int s = 0; s < 64; ++s) {
        shapes.pixels.push_back(static_cast<uint8_t>(s));
    }
    MapImage image;
    image.width = image.height = 64;
    image.bit_count = 8;
    image.data_size = 4096;
    image.pixels.assign(4096, 0xEE);
    MapBlock block{};
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64; ++c) {
            block.tiles[r * 64 + c] = static_cast<uint8_t>(map_shape(c, r) * 4 + r % 4);
        }
    }
    for (const Slot& s : slots) {
        block.npc.x[s.slot] = static_cast<uint8_t>(s.x);
        block.npc.y[s.slot] = static_cast<uint8_t>(s.y);
        block.npc.shown[s.slot] = static_cast<uint8_t>(s.shown);
        block.npc.ground[s.slot] = static_cast<uint8_t>(s.ground);
    }
    CaptureStdout();
    render_map(&image, shapes, map_catalogue[row], block, f.time_doors, f.no_npcs, f.no_mon_files,
               f.ignore_diff);
    std::string out = GetCapturedStdout();
    return {std::vector<uint8_t>(image.pixels.begin(), image.pixels.end()), out};
}

// At (12, 3) the map tile is 0x9F (shape 0x27, low bits 3).
constexpr int cx = 12, cy = 3, map_tile = 0x9F;
const Slot agree{5, cx, cy, map_tile, 0x22}; // ground: shape 0x08
const Slot differ{5, cx, cy, 0x41, 0xFE};    // shape 0x10, ground 0x3F
const Slot differ9{9, cx, cy, 0x80, 0x05};   // shape 0x20, ground 0x01
const Slot agree31{31, cx, cy, map_tile, 0x22};
const Slot empty{5, cx, cy, 0, 0x22};

std::string line(const char* map, int slot, const char* rest, const char* title) {
    return std::string(map) + "[" + (slot < 10 ? " " : "") + std::to_string(slot) +
           "] (12, 3) 27:3 -> " + rest + " " + title + "\n";
}

TEST(RenderMap, SlotScan) {
    const std::string x03 = "Elderdays Vesper's Keep";
    const struct {
        int row;
        std::vector<Slot> slots;
        Flags flags;
        int shape; // drawn at (12, 3)
        std::string out;
    } cases[] = {
        {1, {}, {0, 0, 0, 0}, 0x27, ""},
        {1, {agree}, {0, 0, 0, 0}, 0x27, ""},
        {1, {agree}, {0, 1, 0, 0}, 0x08, ""},
        {1, {empty}, {0, 1, 0, 0}, 0x27, ""},
        {1, {empty, differ9}, {0, 1, 0, 0}, 0x01, line("MAPX03", 9, "20:0/01:1", x03.c_str())},
        {1, {differ}, {0, 0, 0, 0}, 0x10, line("MAPX03", 5, "10:1/3F:2", x03.c_str())},
        {1, {differ}, {0, 1, 0, 0}, 0x3F, line("MAPX03", 5, "10:1/3F:2", x03.c_str())},
        {1, {differ}, {0, 0, 0, 1}, 0x10, line("MAPX03", 5, "10:1/3F:2", x03.c_str())},
        {1, {differ}, {0, 1, 1, 0}, 0x27, ""},
        // The first slot that is taken ends the scan: the second prints nothing.
        {1, {differ, differ9}, {0, 0, 0, 0}, 0x10, line("MAPX03", 5, "10:1/3F:2", x03.c_str())},
        {1, {agree, differ9}, {0, 1, 0, 0}, 0x08, ""},
        // Row 19 passes over a slot that disagrees, unless told to ignore the difference.
        {19, {differ}, {0, 0, 0, 0}, 0x27, line("MAPG41", 5, "10:1/3F:2", "Halvar Hamlet")},
        {19, {differ}, {0, 1, 0, 1}, 0x3F, line("MAPG41", 5, "10:1/3F:2", "Halvar Hamlet")},
        {19,
         {differ, differ9, agree31},
         {0, 1, 0, 0},
         0x08,
         line("MAPG41", 5, "10:1/3F:2", "Halvar Hamlet") +
             line("MAPG41", 9, "20:0/01:1", "Halvar Hamlet")},
        {19,
         {differ, differ9},
         {0, 0, 0, 1},
         0x10,
         line("MAPG41", 5, "10:1/3F:2", "Halvar Hamlet")},
        {19, {differ}, {0, 0, 1, 0}, 0x27, ""},
        // No time doors on row 1, however the flag is set.
        {1, {agree}, {1, 1, 0, 0}, 0x08, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        const auto result = render(c.row, c.slots, c.flags);
        std::vector<uint8_t> expected(4096);
        for (int r = 0; r < 64; ++r) {
            for (int col = 0; col < 64; ++col) {
                expected[r * 64 + col] = static_cast<uint8_t>(map_shape(col, r));
            }
        }
        expected[cy * 64 + cx] = static_cast<uint8_t>(c.shape);
        EXPECT_EQ(result.first, expected);
        EXPECT_EQ(result.second, c.out);
    }
}

TEST(RenderMap, TimeDoorsOverNpcsAndLinesInCellOrder) {
    // Row 0's doors: (29, 56), (31, 56), (33, 56), (35, 56); slot 9 stands on the first,
    // slot 0 in the last cell, so the lines come in cell order, not slot order.
    const std::vector<Slot> slots = {{0, 63, 63, 0x41, 0x30}, {9, 29, 56, 0x41, 0x30}};
    for (int doors : {0, 1}) {
        const auto result = render(0, slots, {doors, 0, 0, 0});
        EXPECT_EQ(result.second, "MAPX00[ 9] (29,56) 0F:0 -> 10:1/0C:0 Elderdays\n"
                                 "MAPX00[ 0] (63,63) 3C:3 -> 10:1/0C:0 Elderdays\n");
        EXPECT_EQ(result.first[56 * 64 + 29], doors ? 48 : 0x10);
        EXPECT_EQ(result.first[63 * 64 + 63], 0x10);
        for (int x : {31, 33, 35}) {
            EXPECT_EQ(result.first[56 * 64 + x], doors ? 48 : map_shape(x, 56)) << x;
        }
        EXPECT_EQ(result.first[56 * 64 + 30], map_shape(30, 56));
    }
}

TEST(RenderMap, CopiesWholeTiles) {
    // Tiles of 2 x 3 pixels, 3 bytes a pixel: a sheet line is 96 bytes, an image line 384.
    ShapeSet shapes;
    shapes.tile_width = 2;
    shapes.tile_height = 3;
    shapes.bit_count = 24;
    shapes.bytes_per_pixel = 3;
    for (int i = 0; i < 96 * 12; ++i) {
        shapes.pixels.push_back(static_cast<uint8_t>(i * 7 + i / 96));
    }
    MapImage image;
    image.width = 128;
    image.height = 192;
    image.bit_count = 24;
    image.data_size = 384 * 192;
    image.pixels.assign(image.data_size, 0xEE);
    MapBlock block{};
    block.tiles[7 * 64 + 5] = 37 * 4 + 2; // shape 37: tile row 2, column 5 of the sheet
    render_map(&image, shapes, map_catalogue[1], block, 0, 0, 0, 0);
    for (int l = 0; l < 3; ++l) {
        const uint8_t* from = shapes.pixels.data() + (2 * 3 + l) * 96 + 5 * 6;
        const uint8_t* to = image.pixels.data() + (7 * 3 + l) * 384 + 5 * 6;
        EXPECT_EQ(std::vector<uint8_t>(to, to + 6), std::vector<uint8_t>(from, from + 6)) << l;
        const uint8_t* corner = image.pixels.data() + (63 * 3 + l) * 384 + 63 * 6;
        EXPECT_EQ(
            std::vector<uint8_t>(corner, corner + 6),
            std::vector<uint8_t>(shapes.pixels.data() + l * 96, shapes.pixels.data() + l * 96 + 6));
    }
}

} // namespace
