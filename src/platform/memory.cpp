// SPDX-License-Identifier: MIT
// Memory for pixel buffers. A map image of hundreds of megabytes is written once per map
// and handed to the kernel as it is: in 4 KiB pages it costs a fault for every page on first
// touch and a slower copy into the file, so large blocks come straight from the system, in
// 2 MiB-aligned runs that the kernel can back with large pages.
#include "platform/platform.h"

#include <new>

#if defined(KOPC_PLAIN_ALLOCATION)
#elif defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

void* allocate_plain(size_t size) {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

// One set of the three functions for each kind of build: every block from operator new (the
// sanitizer build), Windows, and the POSIX hosts.
#if defined(KOPC_PLAIN_ALLOCATION)

void* platform_allocate(size_t size) noexcept {
    return allocate_plain(size);
}

void platform_release(void* block, size_t) noexcept {
    ::operator delete(block);
}

int platform_populate(void*, size_t) noexcept {
    return 0;
}

#elif defined(_WIN32)

namespace {
// From this size on a block comes from the system's pages. Windows cannot make them resident
// in one call, so only a block of a large page's size is worth the call to the system.
constexpr size_t paged = platform_large_block;
} // namespace

void* platform_allocate(size_t size) noexcept {
    if (size < paged) {
        return allocate_plain(size);
    }
    // Committed pages are zero; Windows gives large pages only to privileged programs.
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void platform_release(void* block, size_t size) noexcept {
    if (block != nullptr && size < paged) {
        ::operator delete(block);
    } else if (block != nullptr) {
        VirtualFree(block, 0, MEM_RELEASE);
    }
}

int platform_populate(void*, size_t) noexcept {
    return 0;
}

#else

namespace {

constexpr size_t large = platform_large_block;

// From this size on a block comes from the system's pages. Where they can be made resident
// in one call, that is already worth it for a 1 MiB map image: 256 pages, each a fault (on a
// virtual machine an exit to the host) when first written.
constexpr size_t paged = size_t{256} << 10;

// The advice that makes pages resident in one call: Linux 5.14 (older kernels refuse it and
// the pages fault in); none elsewhere.
#if defined(__linux__)
constexpr int populate_advice = 23; // MADV_POPULATE_WRITE
#else
constexpr int populate_advice = -1;
#endif

// A block from the system's pages maps this many bytes: its size rounded up to whole pages,
// and a large block's to whole large pages, so that its last one can be a large page too.
// Releasing needs nothing but the size.
size_t mapped_length(size_t size) {
    const size_t unit = size >= large ? large : static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (size + unit - 1) / unit * unit;
}

void* map_pages(size_t length) {
    void* area = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return area == MAP_FAILED ? nullptr : area;
}

// `length` bytes starting on a 2 MiB boundary: a page less than a large page more is mapped,
// which always holds such a start, and what lies outside it is given back at once.
void* map_aligned(size_t length) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    uint8_t* area = static_cast<uint8_t*>(map_pages(length + large - page));
    if (area == nullptr) {
        return nullptr;
    }
    const size_t head = (large - reinterpret_cast<uintptr_t>(area) % large) % large;
    if (head != 0) {
        munmap(area, head);
    }
    if (head != large - page) {
        munmap(area + head + length, large - page - head);
    }
#ifdef MADV_HUGEPAGE
    madvise(area + head, length, MADV_HUGEPAGE); // refused where the kernel has none: harmless
#endif
    return area + head;
}

} // namespace

void* platform_allocate(size_t size) noexcept {
    if (size < paged) {
        return allocate_plain(size);
    }
    if (size > SIZE_MAX / 2) {
        return nullptr; // no system has it, and the rounding below must not wrap
    }
    const size_t length = mapped_length(size);
    void* block = size >= large ? map_aligned(length) : nullptr;
    return block != nullptr ? block : map_pages(length);
}

void platform_release(void* block, size_t size) noexcept {
    if (block != nullptr && size < paged) {
        ::operator delete(block);
    } else if (block != nullptr) {
        munmap(block, mapped_length(size));
    }
}

int platform_populate(void* block, size_t size) noexcept {
    if (populate_advice >= 0 && block != nullptr && size >= paged &&
        madvise(block, mapped_length(size), populate_advice) != 0 && errno == ENOMEM) {
        return -1; // no memory for the pages: the first write would be killed instead
    }
    return 0;
}

#endif
