// SPDX-License-Identifier: MIT
// Game data traps for a second caller: a path string reused, a sheet layout not rendered.
#include "gamedata/gamedata.h"
#include "platform/platform.h"

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

} // namespace
