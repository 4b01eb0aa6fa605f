#include "bitmap/bitmap.h"

#include <gtest/gtest.h>

TEST(Smoke, RowSize) {
    EXPECT_EQ(bitmap_row_size(1, 1), 4);
}
