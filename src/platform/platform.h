// SPDX-License-Identifier: MIT
// The one place that knows the host. The program speaks Windows paths (the data path and
// a file name joined with a backslash); on other hosts this layer opens them as Windows
// would: backslashes act as separators, and a last path component that differs only in
// ASCII case from the entry on disk is still found. It also offers what the host has to
// move image bytes fast: a gather write, so that rows go to a file without being copied
// first; nibble packing with the widest instructions; copies that bypass the caches. And
// on Windows it sets up the console for UTF-8 names.
#ifndef KOPC_PLATFORM_PLATFORM_H
#define KOPC_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PLATFORM_STREAMING_STORES 1
#endif

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

// True when the host's file status query finds `name` (exact name, no case folding).
bool platform_file_exists(const char* name) noexcept;

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

// Copies `size` bytes, a multiple of 16, to `to` (16-byte aligned) past the caches where
// the host can: for a buffer far larger than the caches, whose lines would otherwise each
// be read into them before being written over. platform_uncached_done() must follow the
// last such copy, before the bytes are read.
inline void platform_copy_uncached(void* to, const void* from, std::size_t size) noexcept {
#ifdef PLATFORM_STREAMING_STORES
    __m128i* out = static_cast<__m128i*>(to);
    const __m128i* in = static_cast<const __m128i*>(from);
    for (std::size_t i = 0; i < size / 16; ++i) {
        _mm_stream_si128(out + i, _mm_loadu_si128(in + i));
    }
#else
    std::memcpy(to, from, size);
#endif
}

inline void platform_uncached_done() noexcept {
#ifdef PLATFORM_STREAMING_STORES
    _mm_sfence();
#endif
}

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

#endif
