// A replacement of the global operator new and delete that can fail one allocation on request,
// to check that what the engine changes it changes completely or not at all.

#include "run/FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {

thread_local long successesLeft = -1; // below 0: no allocation is to fail
thread_local bool failed        = false;

} // namespace

namespace torvex::test {

void failAllocationAfter(long n) {
    successesLeft = n;
    failed        = false;
}

bool allocationFailed() {
    successesLeft = -1;
    return failed;
}

} // namespace torvex::test

// Every plain form is replaced, so that each block goes back to the allocator it came from.
namespace {

void* allocate(std::size_t size) {
    if (successesLeft == 0) {
        successesLeft = -1;
        failed        = true;
        throw std::bad_alloc();
    }
    if (successesLeft > 0) --successesLeft;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}

void* allocateOrNull(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
