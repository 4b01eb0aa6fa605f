// SPDX-License-Identifier: MIT
// Game data traps for a second caller: a path string reused, a sheet layout not rendered;
// and the map image's size at the renderer's limits.
#include "gamedata/gamedata.h"
#include "platform/platform.h"
#include "render/render.h"

#include <gtest/gtest.h>

namespace {

TEST(GameData, TrapsForAnotherCaller) {
    std::string joined;
    EXPECT_STREQ(join_data_path("data/longer", "KOEGA.EXE", &joined), "data/longer\\KOEGA.EXE");
    EXPECT_STREQ(join_data_path("data", "MAPX00", &joined), "data\\MAPX00");
    EXPECT_EQ(joined.size(), 11u);

    // A sheet of 32 x 8 pixels holds 32 x 2 whole tiles too, but only 16 x 4 is read.
    const char name[] = "gamedata_test_shapes.tmp";
    BitmapHeader h;
    ASSERT_EQ(create_bitmap_header(&h, 32, 8, 8), 0);
    FilePtr file(std::fopen(name, "wb"));
    ASSERT_TRUE(file);
    ASSERT_EQ(write_bitmap(file.get(), h, nullptr, PixelBuffer(256, 1)), 0);
    file.reset();
    ShapeSet shapes;
    EXPECT_EQ(read_shape_bitmap(name, &shapes, 16, 4), 0);
    EXPECT_EQ(read_shape_bitmap(name, &shapes, 32, 2), -1);
    std::remove(name);
}

// 64 tiles across and down must fit 2^31 - 1 bytes of pixels; a tile size whose 64 times
// wraps in 32 bits (2^26 + 1 gives 64) is refused, not taken for a small image.
TEST(Render, ImageSizeAtItsLimits) {
    const struct {
        int32_t tile_width, tile_height;
        uint32_t bit_count;
        int result;
        uint32_t width, data_size;
    } cases[] = {{16, 16, 4, 0, 1024, 1048576},   {524287, 1, 8, 0, 33554368, 2147479552},
                 {524288, 1, 8, -1, 0, 0},        {1, 524288, 8, -1, 0, 0},
                 {(1 << 26) + 1, 1, 8, -1, 0, 0}, {1, (1 << 26) + 1, 8, -1, 0, 0},
                 {262144, 1, 16, -1, 0, 0}};
    for (const auto& c : cases) {
        ShapeSet shapes;
        shapes.tile_width = c.tile_width, shapes.tile_height = c.tile_height;
        shapes.bit_count = c.bit_count, shapes.bytes_per_pixel = (c.bit_count + 7) / 8;
        MapImage image;
        EXPECT_EQ(size_map_image(shapes, &image), c.result) << c.tile_width << "x" << c.tile_height;
        EXPECT_EQ(std::make_pair(image.width, image.data_size),
                  std::make_pair(c.width, c.data_size));
    }
}

} // namespace
