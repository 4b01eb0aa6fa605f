// SPDX-License-Identifier: MIT
// The one place that knows the host and the processor. The program speaks Windows paths
// (the data path and a file name joined with a backslash); on other hosts this layer opens
// them as Windows would: backslashes act as separators, and a last path component that
// differs only in ASCII case from the entry on disk is still found. It hands out the memory
// of pixel buffers, large ones straight from the system's pages. It offers what the host has
// to move image bytes fast: a gather write, so that rows go to a file without being copied
// first; nibble packing with the widest instructions; copies that bypass the caches. And on
// Windows it sets up the console for UTF-8 names.
//
// The fast loops: with GCC or Clang on x86-64 the nibble packing picks AVX2 when the
// processor has it (the compiler's runtime reads its features once, at start), and the uncached
// copies use SSE2 streaming stores. An MSVC build gets the streaming stores on x64 and the plain
// packing loop. A build with KOPC_PLAIN_LOOPS (CMake option of the same name) uses the plain loops
// only, so that they can be tested on a machine that has the wider instructions.
#ifndef KOPC_PLATFORM_PLATFORM_H
#define KOPC_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Closes a stream when its owner goes out of scope.
struct FileCloser {
    void operator()(std::FILE* stream) const noexcept {
        std::fclose(stream);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for binary reading ("rb") by its Windows-form path.
// Null when it cannot be opened or is a directory.
std::FILE* platform_open_read(const char* path) noexcept;

// Opens as platform_open_read does, and writes into `found` the path of the file opened in
// the host's form: the host's separators, and the last component as the folder spells it
// (data\MAPX10 that opened data/mapx10 gives "data/mapx10"), the name to write it back under.
// Null, `found` "", when it cannot be opened or `found` is too small for the path.
std::FILE* platform_open_found(const char* path, char* found, std::size_t size) noexcept;

// The names of the entries of `folder` (Windows form, a backslash read as a separator), "."
// and ".." aside, in the order the host lists them, behind what `names` held. 0; -1 when
// the folder cannot be read; -2 when memory ran out.
int platform_folder_entries(const char* folder, std::vector<std::string>* names) noexcept;

// True when the host's file status query finds `name` (exact name, no case folding).
bool platform_file_exists(const char* name) noexcept;

// True when an entry of that exact name exists, a link itself included (a link to nowhere
// counts), unlike platform_file_exists, which follows links.
bool platform_entry_exists(const char* name) noexcept;

// Opens `path`, resolved as platform_open_read resolves it, for binary reading when it is a
// regular file, without ever waiting on a FIFO for a writer. 0 when open; -1 when it cannot
// be opened; -2 when it is no regular file (a FIFO, a device, a folder, a socket).
int platform_open_regular(const char* path, FilePtr* file) noexcept;

// A console shows the program's text in UTF-8, the code page its names arrive in, while
// pipes and files get the same bytes either way. When standard output is a console and the
// program runs with the UTF-8 code page, sets the console's output code page to UTF-8 and
// returns the one it had; otherwise changes nothing and returns 0. Does nothing off Windows.
unsigned platform_console_utf8() noexcept;

// Gives the console back the output code page that platform_console_utf8 returned (0: none).
void platform_console_restore(unsigned saved_code_page) noexcept;

// Packs pairs of pixel bytes into bytes of two 4-bit pixels: to[i] gets the low 4 bits of
// from[2i] in its high nibble and those of from[2i + 1] in its low nibble, for i < count.
// It uses the widest instructions the processor has for it (AVX2 on x86-64).
void platform_pack_nibbles(uint8_t* to, const uint8_t* from, std::size_t count) noexcept;

// Tells the C library that only one thread uses `stream`, so that its calls need not lock
// it (where the library can be told; the program has one thread).
void platform_single_user_stream(std::FILE* stream) noexcept;

// Copies `count` runs of `size` bytes one behind the other to `to`: run i is taken
// `offset` bytes into from[i]. Where the host can, the copies go past the caches: for an
// image far larger than the caches, whose lines would otherwise each be read into them
// before being written over. `to` must be 16-byte aligned and `size` a multiple of 16.
// platform_uncached_done() must follow the last such copy, before the bytes are read.
void platform_gather_uncached(uint8_t* to, const uint8_t* const from[], std::size_t count,
                              std::size_t offset, std::size_t size) noexcept;
void platform_uncached_done() noexcept;

// Blocks of this size and more are large (see platform_allocate).
constexpr std::size_t platform_large_block = std::size_t{2} << 20; // one x86-64 large page

// Memory for a pixel buffer of `size` bytes; null when there is none. A block of 256 KiB and
// more (2 MiB on Windows) comes straight from the system (anonymous pages; VirtualAlloc on
// Windows), zero, its length rounded up to whole pages. Off Windows a large block is also 2
// MiB-aligned, its length rounded up to 2 MiB, and advised for transparent large pages where the
// host has them, so that it costs a fault per 2 MiB instead of one per 4 KiB page; where the
// aligned pages are refused, the same length unaligned. A smaller block comes from operator new,
// uncleared. Nothing here touches the memory: a block that a file's header asked for costs nothing
// until its bytes are read in. A build with KOPC_PLAIN_ALLOCATION (the sanitizer build) takes every
// block from operator new, so that AddressSanitizer sees an overrun.
void* platform_allocate(std::size_t size) noexcept;

// Gives back a block of platform_allocate, with the size it was asked for.
void platform_release(void* block, std::size_t size) noexcept;

// Makes the pages of a block from the system resident in one call where the system can
// (Linux 5.14 and later), instead of one fault at a time as they are first written. Only for
// memory that will be written whole, such as the map image; does nothing for a block from
// operator new. -1 when the system has no memory for the pages, 0 otherwise (also where it
// cannot populate at all).
int platform_populate(void* block, std::size_t size) noexcept;

// A run of bytes to write.
struct WriteSpan {
    const void* data;
    std::size_t size;
};

// Writes `count` spans, in order, behind what `stream` (open for writing) holds: the
// stream is flushed, then the spans go to the system many at a time, a short write
// resumed where it stopped. Where the host has no gather write they go through the
// stream. 0 when everything was written, -1 when a write failed. After a call the stream
// may only be closed.
int platform_write_spans(std::FILE* stream, const WriteSpan* spans, std::size_t count) noexcept;

// Renames `from` to `to`, replacing a file of that name in one step. 0 on success.
int platform_replace_file(const char* from, const char* to) noexcept;

// Results of the new-file functions.
enum NewFileResult : int { new_file_done = 0, new_file_failed = -1, new_file_not_replaced = -2 };

// A file being written under a temporary name in the folder of its final name, so that a
// reader never sees it half written and two runs never share one. Dropped before it is
// finished (an early return, say), it closes its stream and removes its temporary file.
struct NewFile {
    FilePtr stream;                  // open for binary writing; null when none is open
    char temp_name[64 + 1024] = "";  // the temporary name, "" when there is none to remove
    char aside_name[64 + 1024] = ""; // where a set of files keeps the file it replaces
    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile(); // platform_discard_new_file
};

// Creates a new file under a name no other run shares, beside `final_name` (never opening
// an existing file or following a link), for binary writing. The name is `final_name` with
// ".<process id>-<n>.part" behind it, n counting up from 0 past names that are taken: the same
// names, in the same order, on every call of a process. First removes such files of
// `final_name` left by a process that no longer exists (one killed, say); those of a live
// process, this one included, are left alone. Refuses, as opening it for writing would, a
// `final_name` that exists and this user may not write (Windows: one marked read-only).
// new_file_done when open; new_file_failed otherwise.
int platform_begin_new_file(const char* final_name, NewFile* file) noexcept;

// Closes the stream and, when everything written reached the file, puts it on the disk and
// renames it over `final_name` in one step, then makes the rename last (POSIX: the folder is
// synced; Windows: the move is written through). A file replaced so keeps its permission bits;
// a new one gets the usual mode (0666 less the umask). new_file_done when the file is in
// place; otherwise the temporary file is gone, and the result is new_file_failed when a write,
// the sync or the close failed, new_file_not_replaced when the rename failed.
int platform_finish_new_file(NewFile* file, const char* final_name) noexcept;

// Puts `count` files in place together: files[i] becomes final_names[i]. All are closed and
// synced first, and only when all were written whole is each renamed into place, an existing
// final file set aside under a temporary name of its own. When a rename fails, the files already
// replaced are put back from their set-aside copies (new ones removed): the set is either all
// new or all old. new_file_done; new_file_failed when a write failed (nothing renamed);
// new_file_not_replaced when a rename failed (everything as it was). No temporary file or
// set-aside copy is left behind, unless putting an old file back failed: its copy then stays.
int platform_finish_new_files(NewFile files[], const char* const final_names[],
                              std::size_t count) noexcept;

// Looks beside `path` (Windows form, its last component compared ignoring ASCII case) for a
// file that platform_begin_new_file or platform_finish_new_files left under a temporary
// name: a run stopped before it could remove it, or a set-aside copy of the file that a run
// stopped while renaming. 1 with the first one's path in `found` (`path`'s folder as given, then
// the entry's name); 0 when there is none.
// Unlike platform_begin_new_file, it looks at every process's files and removes nothing.
int platform_find_leftover(const char* path, char* found, std::size_t size) noexcept;

// Closes the stream and removes the temporary file: for callers that drop a file explicitly.
void platform_discard_new_file(NewFile* file) noexcept;

// Bytes a program's output stream hands to the system per write: far fewer calls than the
// default few KiB.
constexpr std::size_t output_buffer_size = 128 * 1024;

// The lines that modules of every layer print alike, typed once here at the bottom.
namespace common_text {
constexpr char open_fmt[] = "error: open '%s'\n";
constexpr char memory[] = "error: memory exhausted!";
} // namespace common_text

#endif
