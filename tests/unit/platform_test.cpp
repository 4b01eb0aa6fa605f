// SPDX-License-Identifier: MIT
// The platform module's memory and fast loops, against plain loops written here: the
// nibble packing (by whichever path this build and processor take) for every length and
// alignment, the gather of image lines, the blocks that pixel buffers come from, new files
// under temporary names and sets of them, and what opens as a regular file.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
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
    // Spans that hold no byte at all are all written, not a failure.
    const WriteSpan empty[2] = {{"", 0}, {"", 0}};
    const FilePtr file(std::tmpfile());
    EXPECT_EQ(platform_write_spans(file.get(), empty, 2), 0);
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
    EXPECT_EQ(taken[0].substr(taken[0].size() - 7), "-0.part"); // the first name a run tries
    EXPECT_EQ(std::set<std::string>(taken.begin(), taken.end()).size(), taken.size());
    for (const std::string& name : taken) {
        std::remove(name.c_str());
    }
}

#ifndef _WIN32
using Names = std::set<std::string>;

// A fresh folder for one test, removed with all it holds when the test ends.
struct Folder {
    // In the test's own temporary folder (TMPDIR), where make test keeps everything it makes.
    std::string pattern =
        (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/kopc_XXXXXX");
    char* name = mkdtemp(pattern.data());
    const std::string path = name;
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

std::string read_all(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(none)";
}

// A replaced file keeps its mode, a new one takes 0666 less the umask; a file dropped before it
// is finished leaves nothing behind.
TEST(Platform, NewFilesKeepModesAndLeaveNoTemporaryFile) {
    const Folder folder;
    const mode_t saved_mask = umask(027);
    const std::pair<int, unsigned> rows[] = {{0600, 0600}, {0755, 0755}, {-1, 0640}};
    for (const auto& [old_mode, want] : rows) {
        const std::string name = folder / ("page" + std::to_string(old_mode)); // -1: none
        if (old_mode >= 0) {
            std::ofstream(name) << "old";
            chmod(name.c_str(), old_mode);
        }
        NewFile file, dropped;
        ASSERT_EQ(platform_begin_new_file(name.c_str(), &file), 0);
        ASSERT_EQ(platform_begin_new_file((folder / "dropped").c_str(), &dropped), 0);
        std::fputs("new", file.stream.get());
        ASSERT_EQ(platform_finish_new_file(&file, name.c_str()), new_file_done);
        struct stat status = {};
        stat(name.c_str(), &status);
        EXPECT_EQ(status.st_mode & 0777, want) << old_mode;
        EXPECT_EQ(read_all(name), "new");
    }
    umask(saved_mask);
    EXPECT_EQ(folder.entries(), (Names{"page-1", "page384", "page493"}));
}

// A set of three: "a" replaces an old file, "b" is new, "c" replaces an old file; all old or
// all new, nothing else left, when "c" is a folder that no file replaces, when its temporary
// file is gone before the rename (after "c" was set aside) or when a write of "b" failed.
TEST(Platform, FileSetsAreAllNewOrAllOld) {
    enum Trouble { none, folder_in_way, temp_gone, write_fails };
    const std::pair<Trouble, int> rows[] = {
        {none, 0}, {folder_in_way, -2}, {temp_gone, -2}, {write_fails, -1}};
    for (const auto& [trouble, want] : rows) {
        const Folder folder;
        const std::string a = folder / "a", b = folder / "b", c = folder / "c";
        std::ofstream(a) << "old a";
        mkdir(trouble == folder_in_way ? c.c_str() : "", 0777);
        std::ofstream(trouble == folder_in_way ? c + "/x" : c) << "old c";
        const char* names[] = {a.c_str(), b.c_str(), c.c_str()};
        NewFile files[3];
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(platform_begin_new_file(names[i], &files[i]), 0);
            std::fputs(i == 0 ? "new a" : i == 1 ? "new b" : "new c", files[i].stream.get());
        }
        std::remove(trouble == temp_gone ? files[2].temp_name : "");
        if (trouble == write_fails) {
            std::fgetc(files[1].stream.get()); // a read on a write-only stream: its error flag
        }
        EXPECT_EQ(platform_finish_new_files(files, names, 3), want) << trouble;
        const bool done = want == 0;
        EXPECT_EQ(folder.entries(), done ? Names({"a", "b", "c"}) : Names({"a", "c"}));
        EXPECT_EQ(read_all(a) + read_all(b), done ? "new anew b" : "old a(none)");
        EXPECT_EQ(read_all(trouble == folder_in_way ? c + "/x" : c), done ? "new c" : "old c");
    }
}

// Temporary files of "out.txt" whose process is gone (a child waited for) are removed; those
// of live processes (this one, its parent) and other names stay.
TEST(Platform, BeginRemovesLeftoversOfGoneProcessesOnly) {
    const pid_t gone = fork();
    if (gone == 0) {
        _exit(0);
    }
    waitpid(gone, nullptr, 0);
    const Folder folder;
    const std::string dead = std::to_string(gone);
    const Names kept = {"out.txt." + std::to_string(getppid()) + "-3.part",
                        "out.txt." + std::to_string(getpid()) + "-7.part",
                        "out.txt." + dead + "-0.partial", "out.txt2." + dead + "-0.part"};
    for (const std::string& name : kept) {
        std::ofstream(folder / name) << "x";
    }
    std::ofstream(folder / ("out.txt." + dead + "-0.part")) << "x";
    std::ofstream(folder / ("out.txt." + dead + "-12.part")) << "x";
    std::ofstream(folder / ("bare." + dead + "-0.part")) << "x"; // beside a name with no folder
    NewFile file;
    ASSERT_EQ(platform_begin_new_file((folder / "out.txt").c_str(), &file), 0);
    const std::string here = std::filesystem::current_path().string();
    std::filesystem::current_path(folder.path);
    ASSERT_EQ(platform_begin_new_file("bare", &file), 0);
    platform_discard_new_file(&file);
    std::filesystem::current_path(here);
    EXPECT_EQ(folder.entries(), kept);
}

// As nobody (uid 65534, dropped to in a child when the test runs as root) a 0444 file is
// refused and a 0666 one taken; root itself may write either.
TEST(Platform, BeginRefusesAFileTheUserMayNotWrite) {
    const Folder folder;
    chmod(folder.name, 0777);
    const std::tuple<int, bool, int> rows[] = {
        {0444, true, -1}, {0666, true, 0}, {0444, false, getuid() == 0 ? 0 : -1}};
    for (const auto& [mode, as_nobody, want] : rows) {
        const std::string name = folder / ("page" + std::to_string(mode));
        std::ofstream(name) << "old";
        chmod(name.c_str(), mode);
        const pid_t child = fork();
        if (child == 0) {
            NewFile file;
            _exit(as_nobody && getuid() == 0 && setuid(65534) != 0
                      ? 9
                      : -platform_begin_new_file(name.c_str(), &file));
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), -want) << mode << as_nobody;
    }
}

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
