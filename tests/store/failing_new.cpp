#include "failing_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace quillet::test {
namespace {

std::atomic<long> countdown{-1};  // allocations before the failing one; -1: none armed
std::atomic<bool> failed{false};

}  // namespace

void fail_allocation(long nth) {
    failed = false;
    countdown = nth - 1;
}

bool allocation_failed_and_disarm() {
    countdown = -1;
    return failed.exchange(false);
}

}  // namespace quillet::test

void* operator new(std::size_t size) {
    using quillet::test::countdown;
    if (countdown.load(std::memory_order_relaxed) >= 0 && countdown.fetch_sub(1) == 0) {
        quillet::test::failed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
