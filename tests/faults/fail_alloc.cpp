// SPDX-License-Identifier: MIT
// Replaces the global operator new and delete of a test build of kopc_map so that one
// chosen allocation fails: the call numbered KOPC_FAIL_ALLOC_AT (1 for the first) throws
// std::bad_alloc, as a real exhaustion would; every other call is served by malloc.
// Without the variable, or with 0, nothing fails. Only this test executable reads it.
#include <cstdlib>
#include <new>

namespace {

void* allocate(std::size_t size) noexcept {
    // The plan is read once; the counter is the one piece of state the replacement needs.
    static const char* const text = std::getenv("KOPC_FAIL_ALLOC_AT");
    static const unsigned long fail_at = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
    static unsigned long calls = 0;
    return ++calls == fail_at ? nullptr : std::malloc(size != 0 ? size : 1);
}

} // namespace

void* operator new(std::size_t size) {
    if (void* block = allocate(size)) {
        return block;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
