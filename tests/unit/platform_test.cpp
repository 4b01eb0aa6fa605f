// SPDX-License-Identifier: MIT
// The platform module's memory and fast loops, against plain loops written here: the
// nibble packing (by whichever path this build and processor take) for every length and
// alignment, the gather of image lines, the blocks that pixel buffers come from, new files
// under temporary names and sets of them, and what opens as a regular file.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>
#ifndef _WIN32
#include <dirent.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

TEST(Platform, PacksNibblesForEveryLengthAndAlignment) {
    std::vector<uint8_t> from(2 * 200 + 64);
    for (size_t i = 0; i < from.size(); ++i) {
        from[i] = static_cast<uint8_t>((i * 2654435761u) >> 13); // no period, high nibbles set
    }
    for (size_t count = 0; count <= 200; ++count) {
        for (size_t skew = 0; skew < 33; ++skew) {
            std::vector<uint8_t> to(count + 40, 0xEE);
            platform_pack_nibbles(to.data() + skew % 7, from.data() + skew, count);
            for (size_t i = 0; i < to.size(); ++i) {
                const size_t k = i - skew % 7; // the packed byte at to[i], when there is one
                const uint8_t want = i < skew % 7 || k >= count
                                         ? 0xEE
                                         : static_cast<uint8_t>((from[skew + 2 * k] % 16) * 16 +
                                                                from[skew + 2 * k + 1] % 16);
                ASSERT_EQ(to[i], want) << "count " << count << " skew " << skew << " byte " << i;
            }
        }
    }
}

TEST(Platform, GathersLineRunsInOrder) {
    std::vector<uint8_t> sheet(4096);
    for (size_t i = 0; i < sheet.size(); ++i) {
        sheet[i] = static_cast<uint8_t>(i * 13 + i / 256);
    }
    for (size_t size : {16, 48, 256}) {
        alignas(16) uint8_t line[4 * 256 + 16];
        std::fill(std::begin(line), std::end(line), 0xEE);
        const uint8_t* from[4] = {&sheet[3000], &sheet[0], &sheet[1000], &sheet[3000]};
        platform_gather_uncached(line, from, 4, 32, size);
        platform_uncached_done();
        for (size_t i = 0; i < sizeof line; ++i) {
            ASSERT_EQ(line[i], i < 4 * size ? from[i / size][32 + i % size] : 0xEE) << size;
        }
    }
}

TEST(Platform, LargeBlocksAreAlignedZeroAndWhole) {
    const size_t mib = size_t{1} << 20;
    for (size_t size :
         {size_t{1}, 4096 + size_t{1}, 2 * mib - 1, 2 * mib, 2 * mib + 4096, 5 * mib + 3}) {
        uint8_t* block = static_cast<uint8_t*>(platform_allocate(size));
        ASSERT_NE(block, nullptr) << size;
        platform_populate(block, size);
        [[maybe_unused]] const size_t mapped = (size + 2 * mib - 1) / (2 * mib) * (2 * mib);
#if !defined(KOPC_PLAIN_ALLOCATION) && !defined(_WIN32) // VirtualAlloc: 64 KiB, as asked
        if (size >= platform_large_block) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % platform_large_block, 0u) << size;
            // Zero as the system hands it out, up to the end of its last large page.
            EXPECT_EQ(block[0] | block[size / 2] | block[size - 1] | block[mapped - 1], 0) << size;
        }
#endif
        block[0] = block[size - 1] = 1;
        platform_release(block, size);
#if !defined(KOPC_PLAIN_ALLOCATION) && defined(__linux__)
        // Given back to the end of its last large page: mincore finds that page unmapped.
        unsigned char in_core = 0;
        EXPECT_TRUE(
            size < platform_large_block ||
            (mincore(block + mapped - sysconf(_SC_PAGESIZE), 1, &in_core) && errno == ENOMEM))
            << size;
#endif
    }
#ifndef KOPC_PLAIN_ALLOCATION
    // More than any system has: refused as aligned pages and as plain pages alike.
    EXPECT_EQ(platform_allocate(size_t{1} << 50), nullptr);
    EXPECT_EQ(platform_allocate(SIZE_MAX - 1), nullptr);
#endif
}

// Every name that platform_begin_new_file tries, taken in turn by a file, a link to it and a
// link to nowhere, is passed over until none is left: opened or followed, it would come back.
TEST(Platform, NewFilesNeverOpenAnExistingName) {
    std::vector<std::string> taken;
    NewFile file;
    while (taken.size() < 1000 && platform_begin_new_file("new_file_test", &file) == 0) {
        taken.push_back(file.temp_name);
        platform_discard_new_file(&file);
#ifndef _WIN32
        if (taken.size() % 3 != 1) {
            ASSERT_EQ(
                symlink(taken.size() % 3 ? taken[0].c_str() : "nowhere", taken.back().c_str()), 0);
            continue;
        }
#endif
        std::fclose(std::fopen(taken.back().c_str(), "wb"));
    }
    EXPECT_GE(taken.size(), 3u);
    EXPECT_EQ(std::set<std::string>(taken.begin(), taken.end()).size(), taken.size());
    for (const std::string& name : taken) {
        std::remove(name.c_str());
    }
}

#ifndef _WIN32
using Names = std::set<std::string>;

// A fresh folder for one test, removed with all it holds when the test ends.
struct Folder {
    char name[32] = "/tmp/kopc_platform_XXXXXX";
    const std::string path = mkdtemp(name);
    ~Folder() {
        nftw(
            name, [](const char* entry, const struct stat*, int, FTW*) { return remove(entry); }, 8,
            FTW_DEPTH | FTW_PHYS);
    }
    std::string operator/(const std::string& entry) const {
        return path + "/" + entry;
    }
    Names entries() const {
        Names names;
        DIR* dir = opendir(name);
        while (const dirent* entry = readdir(dir)) {
            names.insert(entry->d_name[0] != '.' ? entry->d_name : "");
        }
        closedir(dir);
        names.erase("");
        return names;
    }
};

// A FIFO with no writer is refused at once (the alarm ends the test if it waits); a link to
// nowhere is an entry, though no file.
TEST(Platform, OpensOnlyRegularFilesAndSeesLinks) {
    const Folder folder;
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink("nowhere", (folder / "link").c_str()), 0);
    std::ofstream(folder / "names.txt") << "x";
    alarm(10);
    const std::pair<std::string, int> rows[] = {{folder / "fifo", -2},
                                                {"/dev/null", -2},
                                                {folder.path, -2},
                                                {folder / "names.txt", 0},
                                                {folder.path + "\\NAMES.Txt", 0},
                                                {folder / "link", -1}};
    for (const auto& [path, want] : rows) {
        FilePtr file;
        EXPECT_EQ(platform_open_regular(path.c_str(), &file), want) << path;
        EXPECT_EQ(file != nullptr, want == 0) << path;
    }
    alarm(0);
    EXPECT_TRUE(platform_entry_exists((folder / "link").c_str()));
    EXPECT_FALSE(platform_file_exists((folder / "link").c_str()));
    EXPECT_FALSE(platform_entry_exists((folder / "none").c_str()));
}
#endif

} // namespace
