// The one place that knows the host. The program speaks Windows paths (the data path and
// a file name joined with a backslash); on other hosts this layer opens them as Windows
// would: backslashes act as separators, and a last path component that differs only in
// ASCII case from the entry on disk is still found.
#ifndef KOPC_PLATFORM_PLATFORM_H
#define KOPC_PLATFORM_PLATFORM_H

#include <cstdio>
#include <memory>

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

#endif
