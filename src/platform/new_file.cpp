// SPDX-License-Identifier: MIT
// Files written under a temporary name and put in place of the final one in one step, so that
// a reader never sees a half-written file under the final name. Each run, and each file of a
// run, writes under a name of its own that it creates: two runs writing the same page at once
// never share a file, and a file or link that someone placed at such a name is never opened.
#include "platform/platform.h"

#include <cerrno>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Temporary names tried for one file: "<final>.<process id>-<n>.part" for n below this. Only
// a leftover of a killed run that had the same process id, or a name taken on purpose, makes
// the program go past the first one; when all are taken, the file is not written.
constexpr int name_tries = 100;

#ifdef _WIN32
// Tries of a replacement that Windows refuses because the target is in use, and the wait
// between them: half a second in all.
constexpr int replace_tries = 50;
constexpr DWORD replace_wait_ms = 10;
#endif

// Creates `name` and opens it for writing, never an existing file or link of that name
// (errno EEXIST then). A file descriptor, or -1.
int create_exclusive(const char* name) {
#ifdef _WIN32
    // CREATE_NEW underneath; the name is in the process's code page, UTF-8 by the manifest.
    return _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
#else
    int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC; // O_EXCL refuses a link too
#ifdef O_NOFOLLOW
    flags |= O_NOFOLLOW;
#endif
    return open(name, flags, 0666);
#endif
}

} // namespace

int platform_replace_file(const char* from, const char* to) noexcept {
#ifdef _WIN32
    // rename() on Windows refuses an existing target; names are in the process's code page
    // (UTF-8 by the manifest), which the A variant takes. While another program holds the
    // target for a moment (another run replacing it, a virus scanner), it is tried again.
    for (int tries = 1;; ++tries) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) {
            return 0;
        }
        const DWORD error = GetLastError();
        if (tries == replace_tries ||
            (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            return -1;
        }
        Sleep(replace_wait_ms);
    }
#else
    return std::rename(from, to) == 0 ? 0 : -1;
#endif
}

int platform_begin_new_file(const char* final_name, NewFile* file) noexcept {
    file->stream.reset();
#ifdef _WIN32
    const long id = _getpid();
#else
    const long id = getpid();
#endif
    char* name = file->temp_name;
    for (int n = 0; n < name_tries; ++n) {
        const int length =
            std::snprintf(name, sizeof file->temp_name, "%s.%ld-%d.part", final_name, id, n);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof file->temp_name) {
            break;
        }
        const int fd = create_exclusive(name);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            break;
        }
#ifdef _WIN32
        file->stream.reset(_fdopen(fd, "wb"));
#else
        file->stream.reset(fdopen(fd, "wb"));
#endif
        if (file->stream) {
            return 0;
        }
#ifdef _WIN32
        _close(fd);
#else
        close(fd);
#endif
        std::remove(name);
        break;
    }
    name[0] = '\0';
    return -1;
}

int platform_finish_new_file(NewFile* file, const char* final_name) noexcept {
    std::FILE* stream = file->stream.release();
    // Every write went through the stream: its error flag and the close tell of a full disk.
    const bool written = stream != nullptr && std::ferror(stream) == 0;
    if (stream == nullptr || std::fclose(stream) != 0 || !written) {
        platform_discard_new_file(file);
        return -1;
    }
    if (platform_replace_file(file->temp_name, final_name) != 0) {
        platform_discard_new_file(file);
        return -2;
    }
    file->temp_name[0] = '\0';
    return 0;
}

void platform_discard_new_file(NewFile* file) noexcept {
    file->stream.reset();
    if (file->temp_name[0] != '\0') {
        std::remove(file->temp_name);
        file->temp_name[0] = '\0';
    }
}

int platform_finish_new_files(NewFile files[], const char* const final_names[],
                              std::size_t count) noexcept {
    int result = new_file_done;
    for (std::size_t i = 0; i < count; ++i) {
        const int finished = result == new_file_done
                                 ? platform_finish_new_file(&files[i], final_names[i])
                                 : (platform_discard_new_file(&files[i]), result);
        result = finished;
    }
    return result;
}
