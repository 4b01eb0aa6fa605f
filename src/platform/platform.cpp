// SPDX-License-Identifier: MIT
// Host-specific file access, the gather write, the single-user stream and the console
// set-up. Nothing here allocates on the heap of its own: paths are rewritten in a fixed
// local buffer, so opening a file cannot fail for lack of memory.
#include "platform/platform.h"

#include <cstring>
#include <new>
#include <sys/stat.h>

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

std::FILE* platform_open_read(const char* path) noexcept {
    // Windows understands its own paths; it also refuses to open a directory as a file.
    return std::fopen(path, "rb");
}

std::FILE* platform_open_found(const char* path, char* found, std::size_t size) noexcept {
    // The folder's own spelling of the name, which Windows matches ignoring case.
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA(path, &entry);
    found[0] = '\0';
    if (search == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    FindClose(search);
    std::size_t folder = 0;
    for (std::size_t i = 0; path[i] != '\0'; ++i) {
        folder = path[i] == '\\' || path[i] == '/' || path[i] == ':' ? i + 1 : folder;
    }
    const int length =
        std::snprintf(found, size, "%.*s%s", static_cast<int>(folder), path, entry.cFileName);
    if (length < 0 || static_cast<std::size_t>(length) >= size) {
        found[0] = '\0';
        return nullptr;
    }
    std::FILE* stream = std::fopen(found, "rb");
    found[stream != nullptr ? length : 0] = '\0';
    return stream;
}

int platform_folder_entries(const char* folder, std::vector<std::string>* names) noexcept {
    char pattern[MAX_PATH + 4];
    const int length = std::snprintf(pattern, sizeof pattern, "%s\\*", folder);
    WIN32_FIND_DATAA entry;
    const HANDLE search = length > 0 && static_cast<std::size_t>(length) < sizeof pattern
                              ? FindFirstFileA(pattern, &entry)
                              : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int result = 0;
    try {
        do {
            if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0) {
                names->emplace_back(entry.cFileName);
            }
        } while (FindNextFileA(search, &entry));
    } catch (const std::bad_alloc&) {
        result = -2;
    }
    FindClose(search);
    return result;
}

bool platform_file_exists(const char* name) noexcept {
    struct _stat status;
    return _stat(name, &status) == 0;
}

bool platform_entry_exists(const char* name) noexcept {
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

int platform_open_regular(const char* path, FilePtr* file) noexcept {
    // Opening a folder fails; a device (NUL, CON) or a pipe opens at once, and is no disk file.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return -2;
    }
    file->reset(std::fopen(path, "rb"));
    if (!*file) {
        return -1;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file->get())));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        file->reset();
        return -2;
    }
    return 0;
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
#include <fcntl.h>
#include <strings.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr size_t max_path = 4096;       // PATH_MAX on Linux; longer paths are not opened
constexpr size_t max_write_spans = 256; // spans handed to one writev (IOV_MAX is 1024)

// Opens `path` for binary reading and refuses a folder, as opening one for reading fails on
// Windows. With `regular_only` it refuses anything but a regular file, and opens without
// waiting for a FIFO's writer. `*refused` tells a file refused for what it is (errno EISDIR).
std::FILE* open_checked(const char* path, bool regular_only, bool* refused) {
    std::FILE* stream = regular_only ? nullptr : std::fopen(path, "rb");
    const int fd = regular_only ? open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                                : (stream != nullptr ? fileno(stream) : -1);
    *refused = fd < 0 && errno == ENXIO; // a socket
    if (fd < 0) {
        return nullptr;
    }
    struct stat status;
    const bool is_stat = fstat(fd, &status) == 0;
    if (!is_stat || S_ISDIR(status.st_mode) || (regular_only && !S_ISREG(status.st_mode))) {
        stream != nullptr ? std::fclose(stream) : close(fd);
        *refused = is_stat;
        errno = EISDIR;
        return nullptr;
    }
    if (regular_only) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK); // reads wait for data again
        stream = fdopen(fd, "rb");
        if (stream == nullptr) {
            close(fd);
        }
    }
    return stream;
}

// Looks in the folder of `path` (modified in place, '/' separators) for an entry whose
// name equals the last component ignoring ASCII case, and opens the first one found; its
// path goes to `found`, which holds max_path bytes.
std::FILE* open_case_insensitive(char* path, bool regular_only, bool* refused, char* found) {
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
    while (const dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name) != 0) {
            continue;
        }
        const int length =
            (slash != nullptr)
                ? std::snprintf(found, max_path, "%s/%s", slash == path ? "" : path, entry->d_name)
                : std::snprintf(found, max_path, "%s", entry->d_name);
        if (length > 0 && static_cast<size_t>(length) < max_path) {
            stream = open_checked(found, regular_only, refused);
        }
        break;
    }
    closedir(dir);
    return stream;
}

// Opens `path` (Windows form) as open_checked does, with a backslash as a separator and, when
// no entry has the last component's name, one that differs from it only in ASCII case. The
// path opened goes to `found` (max_path bytes) when it is given.
std::FILE* open_host(const char* path, bool regular_only, bool* refused, char* found = nullptr) {
    char host_path[max_path];
    char found_here[max_path];
    found = found != nullptr ? found : found_here;
    *refused = false;
    const size_t length = std::strlen(path);
    if (length >= sizeof host_path) {
        return nullptr;
    }
    for (size_t i = 0; i <= length; ++i) {
        host_path[i] = (path[i] == '\\') ? '/' : path[i];
    }
    std::memcpy(found, host_path, length + 1);
    std::FILE* stream = open_checked(host_path, regular_only, refused);
    if (stream == nullptr && errno == ENOENT) {
        stream = open_case_insensitive(host_path, regular_only, refused, found);
    }
    return stream;
}

} // namespace

std::FILE* platform_open_read(const char* path) noexcept {
    bool refused = false;
    return open_host(path, false, &refused);
}

std::FILE* platform_open_found(const char* path, char* found, std::size_t size) noexcept {
    bool refused = false;
    char opened[max_path];
    std::FILE* stream = open_host(path, false, &refused, opened);
    found[0] = '\0';
    if (stream != nullptr && std::strlen(opened) >= size) {
        std::fclose(stream);
        return nullptr;
    }
    if (stream != nullptr) {
        std::memcpy(found, opened, std::strlen(opened) + 1);
    }
    return stream;
}

int platform_open_regular(const char* path, FilePtr* file) noexcept {
    bool refused = false;
    file->reset(open_host(path, true, &refused));
    return *file ? 0 : refused ? -2 : -1;
}

int platform_folder_entries(const char* folder, std::vector<std::string>* names) noexcept {
    char host_path[max_path];
    const size_t length = std::strlen(folder);
    if (length >= sizeof host_path) {
        return -1;
    }
    for (size_t i = 0; i <= length; ++i) {
        host_path[i] = (folder[i] == '\\') ? '/' : folder[i];
    }
    DIR* dir = opendir(host_path);
    if (dir == nullptr) {
        return -1;
    }
    int result = 0;
    try {
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names->emplace_back(entry->d_name);
            }
        }
    } catch (const std::bad_alloc&) {
        result = -2;
    }
    closedir(dir);
    return result;
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
