// SPDX-License-Identifier: MIT
// Files written under a temporary name and put in place of the final one in one step, so that
// a reader never sees a half-written file under the final name. Each run, and each file of a
// run, writes under a name of its own that it creates: two runs writing the same page at once
// never share a file, and a file or link that someone placed at such a name is never opened.
// The data reaches the disk before the rename, and the rename is made to last, so that a power
// cut leaves the old file or the new one, never an empty one.
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

// The host's side, one whole set for each host: creating a file exclusively, whether a process
// still exists, the entries of a folder, whether a file may be written, and putting data and
// renames on the disk.
#ifdef _WIN32

#include <io.h>
#include <process.h>
#include <windows.h>

namespace {

// Tries of a replacement that Windows refuses because the target is in use, and the wait
// between them: half a second in all.
constexpr int replace_tries = 50;
constexpr DWORD replace_wait_ms = 10;

long process_id() {
    return _getpid();
}

// Creates `name` and opens it for writing, never an existing file of that name (errno EEXIST
// then): CREATE_NEW underneath; the name is in the process's code page, UTF-8 by the manifest.
int create_exclusive(const char* name) {
    return _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
}

std::FILE* open_stream(int fd) {
    return _fdopen(fd, "wb");
}

void close_fd(int fd) {
    _close(fd);
}

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

// True when no process has the id any more: Windows tells a process it may not query from
// one that does not exist.
bool process_gone(long id) {
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (process != nullptr) {
        CloseHandle(process);
        return false;
    }
    return GetLastError() == ERROR_INVALID_PARAMETER;
}

void remove_entry(const char* name) {
    DeleteFileA(name);
}

// Windows marks a file that may not be written read-only.
bool write_protected(const char* name) {
    const DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// Puts the written file on the disk (FlushFileBuffers underneath). Windows has no mode bits to
// carry over: the file takes its folder's permissions, and a read-only final name is refused
// when the file is begun.
int settle_file(std::FILE* stream, const char*) {
    return _commit(_fileno(stream));
}

// The move is written through (platform_replace_file): nothing is left to sync.
void sync_folder(const char*) {}

// Holds the folder of `name` while one run puts its set of files in place: a named mutex of
// the folder's full path (letter case aside), which Windows releases with a process that dies.
using FolderHold = HANDLE;
FolderHold hold_folder(const char* name) {
    char full[MAX_PATH + 1];
    DWORD length = GetFullPathNameA(name, sizeof full, full, nullptr);
    length = length < sizeof full ? length : 0;
    while (length > 0 && full[length - 1] != '\\' && full[length - 1] != '/') {
        --length; // the folder alone is held, not the file's own name
    }
    uint64_t hash = 0xCBF29CE484222325u;
    for (DWORD i = 0; i < length; ++i) {
        const char c = full[i];
        hash =
            (hash ^ static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c)) * 0x100000001B3u;
    }
    char mutex_name[64];
    std::snprintf(mutex_name, sizeof mutex_name, "Local\\kopc-%016llx",
                  static_cast<unsigned long long>(hash));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutex_name);
    if (mutex != nullptr) {
        WaitForSingleObject(mutex, INFINITE); // an abandoned one is ours as well
    }
    return mutex;
}
void release_folder(FolderHold held) {
    if (held != nullptr) {
        ReleaseMutex(held);
        CloseHandle(held);
    }
}

// The temporary files of one final name, one at a time: "<final>.*.part" matches them all.
struct FolderScan {
    HANDLE search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA entry;
    bool started = false;
    ~FolderScan() {
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
        }
    }
};

bool scan_open(FolderScan* scan, const char* final_name) {
    char pattern[sizeof NewFile::temp_name];
    const int length = std::snprintf(pattern, sizeof pattern, "%s.*.part", final_name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof pattern) {
        return false;
    }
    scan->search = FindFirstFileA(pattern, &scan->entry);
    return scan->search != INVALID_HANDLE_VALUE;
}

const char* scan_next(FolderScan* scan) {
    if (scan->started && !FindNextFileA(scan->search, &scan->entry)) {
        return nullptr;
    }
    scan->started = true;
    return scan->entry.cFileName;
}

} // namespace

int platform_replace_file(const char* from, const char* to) noexcept {
    // rename() on Windows refuses an existing target; names are in the process's code page
    // (UTF-8 by the manifest), which the A variant takes. The move returns once it is on the
    // disk. While another program holds the target for a moment (another run replacing it, a
    // virus scanner), it is tried again.
    for (int tries = 1;; ++tries) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return 0;
        }
        const DWORD error = GetLastError();
        if (tries == replace_tries ||
            (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            return -1;
        }
        Sleep(replace_wait_ms);
    }
}

#else

#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

long process_id() {
    return getpid();
}

// Creates `name` and opens it for writing, never an existing file or link of that name
// (errno EEXIST then).
int create_exclusive(const char* name) {
    int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC; // O_EXCL refuses a link too
#ifdef O_NOFOLLOW
    flags |= O_NOFOLLOW;
#endif
    return open(name, flags, 0666);
}

std::FILE* open_stream(int fd) {
    return fdopen(fd, "wb");
}

void close_fd(int fd) {
    close(fd);
}

bool is_separator(char c) {
    return c == '/';
}

// True when no process has the id any more (one of another user still exists: EPERM).
bool process_gone(long id) {
    return kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

void remove_entry(const char* name) {
    unlink(name);
}

// As opening it for writing would refuse it; root may write any file.
bool write_protected(const char* name) {
    return access(name, W_OK) != 0 && errno != ENOENT;
}

// Gives the written file the permission bits of the regular file it replaces (a new one keeps
// those it was created with: 0666 less the umask), and puts it on the disk. A file system that
// cannot sync at all (EINVAL) is taken as it is.
int settle_file(std::FILE* stream, const char* final_name) {
    const int fd = fileno(stream);
    struct stat old;
    if (stat(final_name, &old) == 0 && S_ISREG(old.st_mode) && fchmod(fd, old.st_mode & 0777)) {
        return -1;
    }
    return fsync(fd) == 0 || errno == EINVAL ? 0 : -1;
}

// The folder that holds `name`, into `folder`: "." for a bare name.
void folder_of(const char* name, char (&folder)[sizeof NewFile::temp_name]) {
    const char* slash = std::strrchr(name, '/');
    const std::size_t length = slash == nullptr ? 0 : slash == name ? 1 : slash - name;
    if (length >= sizeof folder) {
        folder[0] = '\0';
        return;
    }
    std::memcpy(folder, length != 0 ? name : ".", length != 0 ? length : 1);
    folder[length != 0 ? length : 1] = '\0';
}

// Makes a rename in the folder of `name` last by syncing the folder. The file is in place
// whatever this finds, so a folder that cannot be synced is left as it is.
void sync_folder(const char* name) {
    char folder[sizeof NewFile::temp_name];
    folder_of(name, folder);
    const int fd = open(folder, O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Holds the folder of `name` while one run puts its set of files in place, so that another
// run's set waits for it and two runs at once leave one run's whole set. The lock goes with the
// descriptor, and with the process when it dies; a folder that cannot be held is not waited for.
using FolderHold = int;
FolderHold hold_folder(const char* name) {
    char folder[sizeof NewFile::temp_name];
    folder_of(name, folder);
    const int fd = open(folder, O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd >= 0 && flock(fd, LOCK_EX) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}
void release_folder(FolderHold held) {
    if (held >= 0) {
        close(held);
    }
}

// The entries of the folder of a final name, one at a time.
struct FolderScan {
    DIR* dir = nullptr;
    ~FolderScan() {
        if (dir != nullptr) {
            closedir(dir);
        }
    }
};

bool scan_open(FolderScan* scan, const char* final_name) {
    char folder[sizeof NewFile::temp_name];
    folder_of(final_name, folder);
    scan->dir = folder[0] != '\0' ? opendir(folder) : nullptr;
    return scan->dir != nullptr;
}

const char* scan_next(FolderScan* scan) {
    const dirent* entry = readdir(scan->dir);
    return entry != nullptr ? entry->d_name : nullptr;
}

} // namespace

int platform_replace_file(const char* from, const char* to) noexcept {
    return std::rename(from, to) == 0 ? 0 : -1;
}

#endif

namespace {

// Temporary names tried for one file: "<final>.<process id>-<n>.part" for n below this. Only
// a leftover of a run that had the same process id, or a name taken on purpose, makes the
// program go past the first one; when all are taken, the file is not written.
constexpr int name_tries = 100;

bool same_text(const char* a, const char* b, std::size_t length, bool fold_case) {
    for (std::size_t i = 0; i < length; ++i) {
        const char x = fold_case && a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] - 'A' + 'a') : a[i];
        const char y = fold_case && b[i] >= 'A' && b[i] <= 'Z' ? char(b[i] - 'A' + 'a') : b[i];
        if (x != y || x == '\0') {
            return false;
        }
    }
    return true;
}

// The process id in `entry` when it is "<base>.<id>-<n>.part", a temporary name of `base`
// (ignoring ASCII case in `base` with `fold_case`); 0 otherwise. Nine digits at most, so
// that the id fits a long everywhere.
long leftover_id(const char* entry, const char* base, bool fold_case = false) {
    const std::size_t length = std::strlen(base);
    if (!same_text(entry, base, length, fold_case) || entry[length] != '.') {
        return 0;
    }
    const char* at = entry + length + 1;
    long id = 0;
    for (int digits = 0; digits < 9 && *at >= '0' && *at <= '9'; ++digits) {
        id = id * 10 + (*at++ - '0');
    }
    if (*at++ != '-' || *at < '0' || *at > '9') {
        return 0;
    }
    while (*at >= '0' && *at <= '9') {
        ++at;
    }
    return std::strcmp(at, ".part") == 0 ? id : 0;
}

// Removes the temporary files of `final_name` whose process no longer exists: a run killed
// before it could remove its own.
void remove_leftovers(const char* final_name) {
    std::size_t folder = 0; // length of the folder part of `final_name`, separator included
    for (std::size_t i = 0; final_name[i] != '\0'; ++i) {
        folder = is_separator(final_name[i]) ? i + 1 : folder;
    }
    FolderScan scan;
    if (!scan_open(&scan, final_name)) {
        return;
    }
    char path[sizeof NewFile::temp_name];
    while (const char* entry = scan_next(&scan)) {
        const long id = leftover_id(entry, final_name + folder);
        const int length =
            std::snprintf(path, sizeof path, "%.*s%s", static_cast<int>(folder), final_name, entry);
        if (id > 0 && length > 0 && static_cast<std::size_t>(length) < sizeof path &&
            process_gone(id)) {
            remove_entry(path);
        }
    }
}

// Creates the first free temporary name of `final_name` into `name`, passing over `own` (the
// file's temporary name, which the set-aside copy must never take, even if someone removed
// it); its file descriptor, or -1 (`name` then "").
int create_temporary(const char* final_name, char (&name)[sizeof NewFile::temp_name],
                     const char* own = "") {
    const long id = process_id();
    for (int n = 0; n < name_tries; ++n) {
        const int length = std::snprintf(name, sizeof name, "%s.%ld-%d.part", final_name, id, n);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof name) {
            break;
        }
        if (std::strcmp(name, own) == 0) {
            continue;
        }
        const int fd = create_exclusive(name);
        if (fd >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    name[0] = '\0';
    return -1;
}

// Closes the stream when everything written reached the file and the disk; 0 then, -1 when
// a write, the sync or the close failed. The temporary file stays for the caller.
int close_written(NewFile* file, const char* final_name) {
    std::FILE* stream = file->stream.release();
    if (stream == nullptr) {
        return -1;
    }
    // Every write went through the stream: its error flag and the flush tell of a full disk.
    const bool written = std::ferror(stream) == 0 && std::fflush(stream) == 0 &&
                         settle_file(stream, final_name) == 0;
    return std::fclose(stream) == 0 && written ? 0 : -1;
}

// Undoes put_in_place: the set-aside file goes back under `final_name`, or the new file is
// removed when there was none. A set-aside file that cannot go back keeps its name.
void put_back(NewFile* file, const char* final_name) {
    if (file->aside_name[0] == '\0') {
        remove_entry(final_name);
    } else if (platform_replace_file(file->aside_name, final_name) == 0) {
        file->aside_name[0] = '\0';
    }
}

// Renames the written file over `final_name`, an existing entry of that name first set aside
// under a temporary name of its own, reserved by creating it. 0 when in place; -1 when a
// rename failed, everything then as it was.
int put_in_place(NewFile* file, const char* final_name) {
    if (platform_entry_exists(final_name)) {
        const int fd = create_temporary(final_name, file->aside_name, file->temp_name);
        if (fd < 0) {
            return -1;
        }
        close_fd(fd);
        if (platform_replace_file(final_name, file->aside_name) != 0) {
            remove_entry(file->aside_name);
            file->aside_name[0] = '\0';
            return -1;
        }
    }
    if (platform_replace_file(file->temp_name, final_name) != 0) {
        if (file->aside_name[0] != '\0') {
            put_back(file, final_name);
        }
        return -1;
    }
    file->temp_name[0] = '\0';
    return 0;
}

} // namespace

NewFile::~NewFile() {
    platform_discard_new_file(this);
}

int platform_begin_new_file(const char* final_name, NewFile* file) noexcept {
    platform_discard_new_file(file);
    remove_leftovers(final_name);
    if (write_protected(final_name)) {
        return new_file_failed;
    }
    const int fd = create_temporary(final_name, file->temp_name);
    if (fd < 0) {
        return new_file_failed;
    }
    file->stream.reset(open_stream(fd));
    if (!file->stream) {
        close_fd(fd);
        platform_discard_new_file(file);
        return new_file_failed;
    }
    return new_file_done;
}

int platform_finish_new_file(NewFile* file, const char* final_name) noexcept {
    if (close_written(file, final_name) != 0) {
        platform_discard_new_file(file);
        return new_file_failed;
    }
    if (platform_replace_file(file->temp_name, final_name) != 0) {
        platform_discard_new_file(file);
        return new_file_not_replaced;
    }
    file->temp_name[0] = '\0';
    sync_folder(final_name);
    return new_file_done;
}

int platform_finish_new_files(NewFile files[], const char* const final_names[],
                              std::size_t count) noexcept {
    bool written = true;
    for (std::size_t i = 0; i < count; ++i) {
        written = close_written(&files[i], final_names[i]) == 0 && written;
    }
    std::size_t placed = 0;
    const FolderHold held = written && count > 0 ? hold_folder(final_names[0]) : FolderHold{};
    while (written && placed < count && put_in_place(&files[placed], final_names[placed]) == 0) {
        ++placed;
    }
    for (std::size_t i = placed; written && placed < count && i-- > 0;) {
        put_back(&files[i], final_names[i]);
    }
    if (written && count > 0) {
        release_folder(held);
    }
    for (std::size_t i = 0; i < count; ++i) {
        platform_discard_new_file(&files[i]);
        // The old files, once all the new ones are in place; otherwise only those that could
        // not go back are left, as the only copy of what was there.
        if (placed == count && files[i].aside_name[0] != '\0') {
            remove_entry(files[i].aside_name);
        }
        files[i].aside_name[0] = '\0';
        if (written) {
            sync_folder(final_names[i]);
        }
    }
    return !written ? new_file_failed : placed < count ? new_file_not_replaced : new_file_done;
}

void platform_discard_new_file(NewFile* file) noexcept {
    file->stream.reset();
    if (file->temp_name[0] != '\0') {
        remove_entry(file->temp_name);
        file->temp_name[0] = '\0';
    }
}

int platform_find_leftover(const char* path, char* found, std::size_t size) noexcept {
    char name[sizeof NewFile::temp_name];
    const int length = std::snprintf(name, sizeof name, "%s", path);
    found[0] = '\0';
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof name) {
        return 0;
    }
    std::size_t folder = 0; // the folder part of the name, separator included
    for (std::size_t i = 0; name[i] != '\0'; ++i) {
        name[i] = name[i] == '\\' ? '/' : name[i];
        folder = name[i] == '/' ? i + 1 : folder;
    }
#ifdef _WIN32
    std::snprintf(name, sizeof name, "%s", path); // Windows takes either separator
#endif
    FolderScan scan;
    if (!scan_open(&scan, name)) {
        return 0;
    }
    while (const char* entry = scan_next(&scan)) {
        if (leftover_id(entry, name + folder, true) > 0) {
            // The folder as the caller wrote it (in the program's own, Windows form).
            const int written =
                std::snprintf(found, size, "%.*s%s", static_cast<int>(folder), path, entry);
            if (written < 0 || static_cast<std::size_t>(written) >= size) {
                found[0] = '\0';
            }
            return 1;
        }
    }
    return 0;
}
