// The stand-in executables of the sample world carry the drawn shapes at the offsets the
// program reads: loading them with the program's own loader gives the art back, exactly
// for EGA and through the four-colour map for CGA.
#include "sample.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Palette index of each 2-bit CGA value: black, cyan, magenta, light grey.
constexpr uint8_t cga_index[4] = {0, 3, 5, 7};

struct Pin {
    int shape, x, y;
    uint8_t ega, cga; // palette indices after loading
};

// Pixels read off the pictures by hand. Water is blue (CGA: black and cyan in a
// checkerboard), a grass tuft light green (CGA: cyan and light grey, here the grey),
// the time door's core white (CGA light grey), its corner black.
constexpr Pin pins[] = {
    {shape_water, 0, 0, 1, 0},     {shape_water, 1, 0, 1, 3},     {shape_time_door, 7, 7, 15, 7},
    {shape_time_door, 0, 0, 0, 0}, {shape_time_door, 6, 0, 1, 0}, {shape_grass, 2, 1, 10, 7},
};

class SampleExecutable : public testing::TestWithParam<int> {};

TEST_P(SampleExecutable, DecodesToTheDrawnShapes) {
    const int cga = GetParam();
    const std::string dir = testing::TempDir() + "kopc_sample_shapes_" + std::to_string(cga);
    ASSERT_EQ(write_sample_data(dir.c_str()), 0);

    ShapeSet shapes;
    ASSERT_EQ(read_shapes(dir.c_str(), &shapes, cga), 0);
    ASSERT_EQ(shapes.pixels.size(), exe_sheet_size);

    std::vector<uint8_t> expected(exe_sheet_size);
    draw_sample_shapes(expected.data());
    if (cga) {
        std::vector<uint8_t> reduced(exe_sheet_size);
        reduce_to_cga(reduced.data(), expected.data());
        for (size_t i = 0; i < exe_sheet_size; ++i) {
            ASSERT_LT(reduced[i], 4u) << "pixel " << i;
            expected[i] = cga_index[reduced[i]];
        }
    }
    for (size_t i = 0; i < exe_sheet_size; ++i) {
        ASSERT_EQ(shapes.pixels[i], expected[i])
            << "shape " << (i / exe_sheet_width / 16) * 16 + (i % exe_sheet_width) / 16 << " x "
            << i % 16 << " y " << (i / exe_sheet_width) % 16;
    }
    for (const Pin& pin : pins) {
        const size_t at =
            ((pin.shape / 16) * 16 + pin.y) * exe_sheet_width + (pin.shape % 16) * 16 + pin.x;
        EXPECT_EQ(shapes.pixels[at], cga ? pin.cga : pin.ega)
            << "shape " << pin.shape << " (" << pin.x << "," << pin.y << ")";
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

INSTANTIATE_TEST_SUITE_P(Both, SampleExecutable, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param ? "Cga" : "Ega");
                         });

} // namespace
