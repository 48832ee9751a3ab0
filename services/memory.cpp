#include "services/memory.h"

#include <cstdlib>
#include <new>

#include "platform/files.h"
#include "services/log.h"

namespace {

void* try_allocate(size_t size)
{
    services_state& s = services();
    if (s.failing_allocations > 0) {
        --s.failing_allocations;
        return nullptr;
    }
    return ::operator new(size, std::nothrow);
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

void fatal_out_of_memory(const char* message)
{
    services_state& s = services();
    const bool log_was_on = s.log_on;
    if (const out_of_memory_hook hook = s.on_out_of_memory) {
        s.on_out_of_memory = nullptr;  // an allocation failing inside the hook must not loop
        hook();
    }
    // The hook closed the database and so turned the log off; the message still belongs in it.
    s.log_on = log_was_on;
    write_log("%s", message);
    std::exit(1);
}
