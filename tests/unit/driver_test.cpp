// Command-line parsing: every option, the data path, and the errors that end the run.
#include "driver/driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string text(const char* s) {
    return s ? s : "(null)";
}

TEST(ParseCommandLine, Options) {
    const char usage[] = "usage: kopc_map [options] [DATA-PATH]\noption:\n";
    const char usage_end[] = "\n\nread map data from current directory if not specified\n";
    // overwrite, time_doors, ignore_diff, no_mon_files, no_npcs, use_shape_bitmap, cga,
    // shape bitmap path, data path
    const struct {
        std::vector<const char*> args;
        RunOptions expected;
        std::string out; // for a result of -1; "usage" stands for the usage text
    } cases[] = {
        {{}, {0, 0, 0, 0, 0, 0, 0, nullptr, nullptr}, ""},
        {{"--overwrite", "-t", "--ignore-diff", "--no-mon-files", "-n"},
         {1, 1, 1, 1, 1, 0, 0, nullptr, nullptr},
         ""},
        {{"--time-doors", "data", "--no-npcs", "-t"}, {0, 1, 0, 0, 1, 0, 0, nullptr, "data"}, ""},
        {{""}, {0, 0, 0, 0, 0, 0, 0, nullptr, ""}, ""},
        {{"-s", "-n"}, {0, 0, 0, 0, 0, 1, 0, "-n", nullptr}, ""},
        {{"--shape", "a.bmp", "--ega"}, {0, 0, 0, 0, 0, 0, 0, "a.bmp", nullptr}, ""},
        {{"--cga", "-s", "b.bmp"}, {0, 0, 0, 0, 0, 1, 1, "b.bmp", nullptr}, ""},
        {{"-s", "a.bmp", "--cga", "d"}, {0, 0, 0, 0, 0, 0, 1, "a.bmp", "d"}, ""},
        {{"--cga", "--ega"}, {0, 0, 0, 0, 0, 0, 0, nullptr, nullptr}, ""},
        {{"d1", "-t", "d2"}, {}, "error: illegal parameter 'd2'\n"},
        {{"-s"}, {}, "error: no shape bitmap filename\n"},
        {{"-n", "--shape"}, {}, "error: no shape bitmap filename\n"},
        {{"-x"}, {}, "error: unknown option '-x'\n"},
        {{"-"}, {}, "error: unknown option '-'\n"},
        {{"-T"}, {}, "error: unknown option '-T'\n"},
        {{"--bogus", "--help"}, {}, "error: unknown option '--bogus'\n"},
        {{"--help", "--bogus", "a", "b"}, {}, "usage"},
        {{"d", "-?", "-s"}, {}, "usage"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"kopc_map"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.out + " / " + std::to_string(c.args.size()) + " arguments");
        RunOptions o;
        CaptureStdout();
        const int result = parse_command_line(static_cast<int>(argv.size()), argv.data(), &o);
        const std::string out = GetCapturedStdout();
        if (c.out.empty()) {
            ASSERT_EQ(result, 0);
            EXPECT_EQ(out, "");
            const RunOptions& e = c.expected;
            EXPECT_EQ((std::vector<int>{o.overwrite, o.time_doors, o.ignore_diff, o.no_mon_files,
                                        o.no_npcs, o.use_shape_bitmap, o.cga}),
                      (std::vector<int>{e.overwrite, e.time_doors, e.ignore_diff, e.no_mon_files,
                                        e.no_npcs, e.use_shape_bitmap, e.cga}));
            EXPECT_EQ(text(o.shape_bitmap_path), text(e.shape_bitmap_path));
            EXPECT_EQ(text(o.data_path), text(e.data_path));
        } else if (c.out == "usage") {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(out.rfind(usage, 0), 0u);
            EXPECT_EQ(out.size() - out.rfind(usage_end), sizeof usage_end - 1);
            EXPECT_EQ(out.find("error"), std::string::npos);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(out, c.out);
        }
    }
}

} // namespace
