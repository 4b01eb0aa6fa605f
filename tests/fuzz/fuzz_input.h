// What the fuzz targets share: the input as a file, a look at the header fields that decide
// how much memory an input makes the program ask for, and the check that ends a run.
#ifndef KOPC_FUZZ_FUZZ_INPUT_H
#define KOPC_FUZZ_FUZZ_INPUT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The reader accepts pixel buffers up to 2 GiB. An input whose header asks for more than
// this, but no more than the reader accepts, is skipped: valid but huge headers would only
// run into the fuzzer's memory limit. Headers beyond 2 GiB are still fuzzed, since the
// reader must refuse them before it allocates anything.
constexpr uint64_t fuzz_max_pixel_bytes = uint64_t{64} << 20;
// Largest map image a run renders (64 x 64 tiles); larger ones are skipped for speed.
constexpr uint64_t fuzz_max_image_bytes = uint64_t{16} << 20;
constexpr uint64_t fuzz_reader_limit = 0x7FFFFFFF; // the reader's own largest buffer

// Ends the run loudly: the fuzzer, and the replay as a test, report it as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline uint32_t fuzz_le32(const uint8_t* p) {
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline uint32_t fuzz_le16(const uint8_t* p) {
    return p[0] | static_cast<uint32_t>(p[1]) << 8;
}

// Bytes of pixel buffer that the input's header asks for (width x height x bytes per
// pixel, without wrapping), or 0 when the input is too short to say.
inline uint64_t fuzz_pixel_bytes(const uint8_t* data, size_t size) {
    if (size < 30) {
        return 0;
    }
    const uint64_t width = fuzz_le32(data + 18);
    const uint64_t height = fuzz_le32(data + 22);
    const uint32_t bit_count = fuzz_le16(data + 28);
    if (bit_count > 32 || width == 0 || height == 0) {
        return 0;
    }
    const uint64_t bytes_per_pixel = (bit_count + 7) / 8;
    const uint64_t pixels = width * height; // both below 2^32: no wrap
    return pixels > UINT64_MAX / 4 ? UINT64_MAX : pixels * bytes_per_pixel;
}

// True for an input that would make the reader allocate more than the harness allows.
inline bool fuzz_too_big(const uint8_t* data, size_t size) {
    const uint64_t bytes = fuzz_pixel_bytes(data, size);
    return bytes > fuzz_max_pixel_bytes && bytes <= fuzz_reader_limit;
}

// The input as a file open for reading at its start. A real file rather than a memory
// stream: the reader skips an unwanted palette with a seek, and a file, unlike a memory
// stream, lets a seek go past its end (the next read then fails). Null when no temporary
// file can be made.
inline std::FILE* fuzz_open_input(const uint8_t* data, size_t size) {
    std::FILE* stream = std::tmpfile();
    if (stream == nullptr) {
        return nullptr;
    }
    if ((size != 0 && std::fwrite(data, size, 1, stream) != 1) || std::fflush(stream) != 0 ||
        std::fseek(stream, 0, SEEK_SET) != 0) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

#endif
