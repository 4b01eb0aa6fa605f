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

} // namespace
