#include "services/memory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "platform/files.h"
#include "services/prepared_blocks.h"
#include "services/log.h"

namespace {

bool is_large(size_t size) { return size >= static_cast<size_t>(huge_page_alignment); }

void* try_allocate(size_t size, bool aligned = false)
{
    services_state& s = services();
    if (s.failing_allocations > 0) {
        --s.failing_allocations;
        return nullptr;
    }
    if (!aligned)
        return ::operator new(size, std::nothrow);
    void* memory = ::operator new(size, huge_page_alignment, std::nothrow);
    // Only advice: where the kernel gives no huge pages the block works as any other.
    if (memory)
        ::madvise(memory, size, MADV_HUGEPAGE);
    return memory;
}

}  // namespace

void set_out_of_memory_hook(out_of_memory_hook hook) { services().on_out_of_memory = hook; }

void* alloc_or_die(size_t size, const char* message)
{
    void* memory = try_allocate(size);
    if (!memory) {
        sleep_ms(200);
        memory = try_allocate(size);
    }
    if (!memory)
        fatal_out_of_memory(message);
    return memory;
}

void* alloc_block_or_die(size_t size, const char* message)
{
    if (void* ready = take_prepared_block(size))
        return ready;
    const bool aligned = is_large(size);
    void* memory = try_allocate(size, aligned);
    if (!memory) {
        sleep_ms(200);
        memory = try_allocate(size, aligned);
    }
    if (!memory)
        fatal_out_of_memory(message);
    return memory;
}

void free_block(void* block, size_t size)
{
    if (is_large(size))
        ::operator delete(block, huge_page_alignment);
    else
        ::operator delete(block);
}

void fatal_out_of_memory(const char* message)
{
    services_state& s = services();
    const bool log_was_on = log_is_on();
    if (const out_of_memory_hook hook = s.on_out_of_memory) {
        s.on_out_of_memory = nullptr;  // an allocation failing inside the hook must not loop
        hook();
    }
    // The hook closed the database and so turned the log off; the message still belongs in it.
    set_log_on(log_was_on);
    write_log("%s", message);
    std::exit(1);
}
