// SPDX-License-Identifier: MIT
// Faults for a test build of kopc_map. Its global operator new and delete are replaced so
// that one chosen allocation fails: the call numbered KOPC_FAIL_ALLOC_AT (1 for the first)
// throws std::bad_alloc, as a real exhaustion would; every other call is served by malloc.
// Without the variable, or with 0, nothing fails. Only this test executable reads it.
// Where the host has a gather write, every call of it is cut short after 1000 bytes, so
// the program must resume in the middle of rows.
#include <algorithm>
#include <cstdlib>
#include <new>

#ifndef _WIN32
#include <sys/uio.h>
#include <unistd.h>

extern "C" ssize_t writev(int fd, const iovec* pieces, int count) {
    size_t budget = 1000;
    ssize_t done = 0;
    for (int i = 0; i < count && budget > 0; ++i) {
        const size_t size = std::min(pieces[i].iov_len, budget);
        const ssize_t written = write(fd, pieces[i].iov_base, size);
        if (written < 0) {
            return done > 0 ? done : -1;
        }
        done += written;
        budget -= static_cast<size_t>(written);
    }
    return done;
}
#endif

namespace {

void* allocate(std::size_t size) noexcept {
    // The plan is read once; the counter is the one piece of state the replacement needs.
    static const char* const text = std::getenv("KOPC_FAIL_ALLOC_AT");
    static const unsigned long fail_at = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
    static unsigned long calls = 0;
    return ++calls == fail_at ? nullptr : std::malloc(size != 0 ? size : 1);
}

} // namespace

// The library's other forms of new and delete (arrays, nothrow) call these.
void* operator new(std::size_t size) {
    if (void* block = allocate(size)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
