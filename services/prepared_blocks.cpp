#include "services/prepared_blocks.h"

#include <sys/mman.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "services/memory.h"

namespace {

constexpr size_t block_size = size_t{4} << 20;
constexpr size_t page_size = 4096;

struct preparer {
    std::mutex lock;
    std::condition_variable wake;  // a block was taken, or the preparing stops
    std::vector<void*> ready;  // touched, not yet taken
    size_t ahead = 0;  // how many may be ready at once
    bool stopping = false;  // stop_preparing_blocks was called
    std::thread worker;  // the thread that touches them
};

// Never destroyed: an exit for want of memory may come while the thread runs.
preparer& state()
{
    static preparer& p = *new preparer;
    return p;
}

void* touched_block()
{
    void* block = ::operator new(block_size, huge_page_alignment, std::nothrow);
    if (!block)
        return nullptr;
    ::madvise(block, block_size, MADV_HUGEPAGE);
    for (size_t at = 0; at < block_size; at += page_size)
        static_cast<volatile char*>(block)[at] = 0;
    return block;
}

void prepare(preparer& p)
{
    std::unique_lock held(p.lock);
    for (;;) {
        p.wake.wait(held, [&] { return p.stopping || p.ready.size() < p.ahead; });
        if (p.stopping)
            return;
        held.unlock();
        void* block = touched_block();
        held.lock();
        if (!block)
            return;  // no memory to spare: the load allocates its own
        p.ready.push_back(block);
    }
}

}  // namespace

void start_preparing_blocks(size_t ahead)
{
    preparer& p = state();
    if (p.worker.joinable())
        return;
    p.ahead = ahead;
    p.stopping = false;
    try {
        p.worker = std::thread(prepare, std::ref(p));
    } catch (const std::system_error&) {
        // Without a thread the load touches its blocks itself, as it would anyway.
    }
}

void* take_prepared_block(size_t size)
{
    if (size <= static_cast<size_t>(huge_page_alignment) || size > block_size)
        return nullptr;
    preparer& p = state();
    const std::lock_guard held(p.lock);
    if (p.ready.empty())
        return nullptr;
    void* block = p.ready.back();
    p.ready.pop_back();
    p.wake.notify_one();
    return block;
}

void stop_preparing_blocks()
{
    preparer& p = state();
    if (!p.worker.joinable())
        return;
    {
        const std::lock_guard held(p.lock);
        p.stopping = true;
    }
    p.wake.notify_one();
    p.worker.join();
    for (void* block : p.ready)
        ::operator delete(block, huge_page_alignment);
    p.ready.clear();
}
