// Host-specific file access. Nothing here allocates on the heap of its own: paths are
// rewritten in a fixed local buffer, so opening a file cannot fail for lack of memory.
#include "platform/platform.h"

#include <sys/stat.h>

#ifdef _WIN32

std::FILE* platform_open_read(const char* path) noexcept {
    // Windows understands its own paths; it also refuses to open a directory as a file.
    return std::fopen(path, "rb");
}

bool platform_file_exists(const char* name) noexcept {
    struct _stat status;
    return _stat(name, &status) == 0;
}

#else

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <strings.h>

namespace {

constexpr size_t max_path = 4096; // PATH_MAX on Linux; longer paths are not opened

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

#endif
