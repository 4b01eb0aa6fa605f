// Replaces the global operator new and delete of a test build of kopc_map so that one
// chosen allocation fails: the call numbered KOPC_FAIL_ALLOC_AT (1 for the first) throws
// std::bad_alloc, as a real exhaustion would; every other call is served by malloc.
// Without the variable, or with 0, nothing fails. Only this test executable reads it.
#include <cstdlib>
#include <new>

namespace {

// The allocation counter: the one piece of state the replacement needs.
struct FailPlan {
    bool read = false;
    unsigned long fail_at = 0; // 0: never
    unsigned long calls = 0;
};

FailPlan& plan() {
    static FailPlan state;
    return state;
}

void* allocate(std::size_t size) {
    FailPlan& p = plan();
    if (!p.read) {
        p.read = true;
        const char* text = std::getenv("KOPC_FAIL_ALLOC_AT");
        p.fail_at = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
    }
    ++p.calls;
    if (p.calls == p.fail_at) {
        return nullptr;
    }
    return std::malloc(size != 0 ? size : 1);
}

} // namespace

void* operator new(std::size_t size) {
    void* block = allocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
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

void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
