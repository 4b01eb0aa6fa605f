// SPDX-License-Identifier: MIT
// Host-specific file access, the gather write, the single-user stream and the console
// set-up. Nothing here allocates on the heap of its own: paths are rewritten in a fixed
// local buffer, so opening a file cannot fail for lack of memory.
#include "platform/platform.h"

#include <sys/stat.h>

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

std::FILE* platform_open_read(const char* path) noexcept {
    // Windows understands its own paths; it also refuses to open a directory as a file.
    return std::fopen(path, "rb");
}

bool platform_file_exists(const char* name) noexcept {
    struct _stat status;
    return _stat(name, &status) == 0;
}

bool platform_entry_exists(const char* name) noexcept {
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

unsigned platform_console_utf8() noexcept {
    // Without the UTF-8 code page (Windows before 10 1903 ignores the manifest) the names
    // are in the ANSI code page, and the console is left as it was.
    DWORD mode = 0;
    if (GetACP() != CP_UTF8 || GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) == 0) {
        return 0;
    }
    const UINT saved = GetConsoleOutputCP();
    if (saved == CP_UTF8 || SetConsoleOutputCP(CP_UTF8) == 0) {
        return 0;
    }
    return saved;
}

void platform_console_restore(unsigned saved_code_page) noexcept {
    if (saved_code_page != 0) {
        SetConsoleOutputCP(saved_code_page);
    }
}

int platform_write_spans(std::FILE* stream, const WriteSpan* spans, size_t count) noexcept {
    for (size_t i = 0; i < count; ++i) {
        if (spans[i].size != 0 && std::fwrite(spans[i].data, spans[i].size, 1, stream) != 1) {
            return -1;
        }
    }
    return 0;
}

#else

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr size_t max_path = 4096;       // PATH_MAX on Linux; longer paths are not opened
constexpr size_t max_write_spans = 256; // spans handed to one writev (IOV_MAX is 1024)

// Opens `path` and refuses a directory, as opening one for reading fails on Windows.
std::FILE* open_regular(const char* path) {
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        return nullptr;
    }
    struct stat status;
    if (fstat(fileno(stream), &status) != 0 || S_ISDIR(status.st_mode)) {
        std::fclose(stream);
        errno = EISDIR;
        return nullptr;
    }
    return stream;
}

// Looks in the folder of `path` (modified in place, '/' separators) for an entry whose
// name equals the last component ignoring ASCII case, and opens the first one found.
std::FILE* open_case_insensitive(char* path) {
    char* slash = std::strrchr(path, '/');
    const char* folder = ".";
    const char* name = path;
    char root[] = "/";
    if (slash != nullptr) {
        *slash = '\0';
        folder = (slash == path) ? root : path;
        name = slash + 1;
    }
    if (*name == '\0') {
        return nullptr;
    }
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        return nullptr;
    }
    std::FILE* stream = nullptr;
    char found[max_path];
    while (const dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name) != 0) {
            continue;
        }
        const int length = (slash != nullptr)
                               ? std::snprintf(found, sizeof found, "%s/%s",
                                               slash == path ? "" : path, entry->d_name)
                               : std::snprintf(found, sizeof found, "%s", entry->d_name);
        if (length > 0 && static_cast<size_t>(length) < sizeof found) {
            stream = open_regular(found);
        }
        break;
    }
    closedir(dir);
    return stream;
}

} // namespace

std::FILE* platform_open_read(const char* path) noexcept {
    char host_path[max_path];
    const size_t length = std::strlen(path);
    if (length >= sizeof host_path) {
        return nullptr;
    }
    for (size_t i = 0; i <= length; ++i) {
        host_path[i] = (path[i] == '\\') ? '/' : path[i];
    }
    std::FILE* stream = open_regular(host_path);
    if (stream == nullptr && errno == ENOENT) {
        stream = open_case_insensitive(host_path);
    }
    return stream;
}

bool platform_file_exists(const char* name) noexcept {
    struct stat status;
    return stat(name, &status) == 0;
}

bool platform_entry_exists(const char* name) noexcept {
    struct stat status;
    return lstat(name, &status) == 0;
}

// Terminals here take the bytes as they are.
unsigned platform_console_utf8() noexcept {
    return 0;
}

void platform_console_restore(unsigned) noexcept {}

int platform_write_spans(std::FILE* stream, const WriteSpan* spans, size_t count) noexcept {
    if (std::fflush(stream) != 0) {
        return -1;
    }
    const int fd = fileno(stream);
    iovec pieces[max_write_spans] = {}; // cleared: a miscounted piece is empty, not garbage
    size_t first = 0;                   // the first span not yet written whole
    size_t offset = 0;                  // bytes of it already written
    while (first < count) {
        int pieces_used = 0;
        size_t requested = 0;
        for (size_t i = first; i < count && pieces_used < int{max_write_spans}; ++i) {
            const size_t skip = i == first ? offset : 0;
            pieces[pieces_used].iov_base =
                const_cast<char*>(static_cast<const char*>(spans[i].data) + skip);
            pieces[pieces_used++].iov_len = spans[i].size - skip;
            requested += spans[i].size - skip;
        }
        const ssize_t written = writev(fd, pieces, pieces_used);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 || (written == 0 && requested != 0)) {
            return -1; // a full disk, a file grown too large, a system that takes nothing
        }
        // Step over the spans written whole; a short write leaves `offset` in one.
        size_t left = static_cast<size_t>(written);
        while (first < count && left >= spans[first].size - offset) {
            left -= spans[first].size - offset;
            offset = 0;
            ++first;
        }
        offset += left;
    }
    return 0;
}

#endif

#if defined(__GLIBC__)
#include <stdio_ext.h>
#endif

void platform_single_user_stream(std::FILE* stream) noexcept {
#if defined(__GLIBC__)
    __fsetlocking(stream, FSETLOCKING_BYCALLER);
#else
    (void)stream;
#endif
}
