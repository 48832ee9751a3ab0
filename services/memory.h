#pragma once
// Exhausted memory: one retry after a pause, then the hook that opening registers (it saves
// what can be saved), the message in the log, and exit code 1.
#include <cstddef>

#include "services/services_state.h"

// Registered by opening; null while no database is open.
void set_out_of_memory_hook(out_of_memory_hook hook);
// Memory for `size` bytes from operator new, so that records made in it are freed with delete;
// never returns without it. `message` is what the log gets when it gives up.
void* alloc_or_die(size_t size, const char* message = "Out of memory\n");
// The same for a block of records filled as it is made: one of 2 MiB or more is aligned to and
// advised for huge pages, so that filling it faults once per 2 MiB rather than per 4 KiB (a
// third of loading a large database was page faults). Freed with free_block and the same size.
void* alloc_block_or_die(size_t size, const char* message = "Out of memory\n");
void free_block(void* block, size_t size);
// Runs the hook, logs `message` and ends the program with code 1.
[[noreturn]] void fatal_out_of_memory(const char* message);
