// SPDX-License-Identifier: MIT
// Faults for a test build of kopc_map. Its global operator new and delete are replaced so
// that one chosen allocation fails: the call numbered KOPC_FAIL_ALLOC_AT (1 for the first)
// throws std::bad_alloc, as a real exhaustion would; every other call is served by malloc.
// Without the variable, or with 0, nothing fails. Only this test executable reads it.
// Where the host has a gather write, every call of it is cut short after 1000 bytes, so
// the program must resume in the middle of rows. Where large blocks come from mmap, it is
// counted like operator new, and the request for 2 MiB-aligned pages (over 2 MiB and, for
// the slack, no whole number of large pages) is always refused, so plain pages are taken.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace {
bool fail_now(); // true for the call numbered KOPC_FAIL_ALLOC_AT
}

#ifndef _WIN32
#include <sys/mman.h>
#include <sys/syscall.h>
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

#if defined(SYS_mmap) && !defined(__SANITIZE_ADDRESS__)
extern "C" void* mmap(void* at, size_t length, int protection, int flags, int fd, off_t offset) {
    const size_t large = size_t{2} << 20;
    if ((length > large && length % large != 0) || fail_now()) {
        return MAP_FAILED;
    }
    return reinterpret_cast<void*>(syscall(SYS_mmap, at, length, protection, flags, fd, offset));
}

// Counted too: making a block's pages resident, which fails as the kernel's does without memory.
extern "C" int madvise(void* at, size_t length, int advice) {
    if (advice == 23 && fail_now()) { // MADV_POPULATE_WRITE (Linux 5.14)
        errno = ENOMEM;
        return -1;
    }
    return static_cast<int>(syscall(SYS_madvise, at, length, advice));
}
#endif
#endif

namespace {

bool fail_now() {
    // The plan is read once; the counter is the one piece of state the replacement needs.
    static const char* const text = std::getenv("KOPC_FAIL_ALLOC_AT");
    static const unsigned long fail_at = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
    static unsigned long calls = 0;
    return ++calls == fail_at;
}

void* allocate(std::size_t size) noexcept {
    return fail_now() ? nullptr : std::malloc(size != 0 ? size : 1);
}

} // namespace

// The library's other forms of new and delete (arrays, nothrow) call these.
void* operator new(std::size_t size) {
    if (void* block = allocate(size)) {
        return block;
    }
    throw std::bad_alloc();
}

// The nothrow form too (pugixml's blocks come from it): a sanitizer's runtime serves it on its
// own otherwise, and its blocks would come back to the free below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
