#include "memory_room.h"

#include <sys/mman.h>

#include <QSemaphore>
#include <QThreadPool>
#include <cstdint>
#include <memory>

namespace quillet {
namespace {

struct ReserveState {
    int holders = 0;
    int lifted = 0;
    void* mapping = nullptr;
};

ReserveState& state() {
    static ReserveState s;
    return s;
}

// Counted as an allocation of that size would be (against the address
// space limit and the commit limit), but never touched, so it takes no memory.
void* map_unused(size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void settle() {
    ReserveState& s = state();
    const bool wanted = s.holders > 0 && s.lifted == 0;
    if (wanted && s.mapping == nullptr) {
        s.mapping = map_unused(MemoryReserve::kBytes);
    } else if (!wanted && s.mapping != nullptr) {
        ::munmap(s.mapping, MemoryReserve::kBytes);
        s.mapping = nullptr;
    }
}

}  // namespace

MemoryReserve::Held::Held() {
    ++state().holders;
    settle();
}

MemoryReserve::Held::~Held() {
    --state().holders;
    settle();
}

MemoryReserve::Lifted::Lifted() {
    ++state().lifted;
    settle();
}

MemoryReserve::Lifted::~Lifted() {
    --state().lifted;
    settle();
}

void keep_painter_threads() {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setExpiryTimeout(-1);
    // One task per thread, each waiting until all run at once: then every
    // thread the pool may use has been started.
    struct Gate {
        QSemaphore started;
        QSemaphore go;
    };
    const auto gate = std::make_shared<Gate>();
    const int threads = pool->maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        pool->start([gate] {
            gate->started.release();
            gate->go.acquire();
        });
    }
    gate->started.tryAcquire(threads, 5000);
    gate->go.release(threads);
}

bool view_has_room(size_t rows) {
    // Less than half a MiB is no question; asking costs a mapping.
    constexpr size_t kAlwaysRoom = 4096;
    if (rows <= kAlwaysRoom)
        return true;
    if (rows > SIZE_MAX / kViewBytesPerRow)
        return false;
    const size_t bytes = rows * kViewBytesPerRow;
    void* p = map_unused(bytes);
    if (p == nullptr)
        return false;
    ::munmap(p, bytes);
    return true;
}

}  // namespace quillet
