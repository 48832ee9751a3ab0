#pragma once
// Exhausted memory: one retry after a pause, then the hook that opening registers (it saves
// what can be saved), the message in the log, and exit code 1.
#include <cstddef>
#include <new>

#include "services/services_state.h"

// Registered by opening; null while no database is open.
void set_out_of_memory_hook(out_of_memory_hook hook);
// Memory for `size` bytes from operator new, so that records made in it are freed with delete;
// never returns without it. `message` is what the log gets when it gives up.
void* alloc_or_die(size_t size, const char* message = "Out of memory\n");
// The same for a block of records filled as it is made: one of 2 MiB or more is aligned to and
// advised for huge pages, so that filling it faults once per 2 MiB rather than per 4 KiB (a
// third of loading a large database was page faults). Freed with free_block and the same size.
// While blocks are being prepared (services/prepared_blocks.h), a ready one is taken first.
void* alloc_block_or_die(size_t size, const char* message = "Out of memory\n");
void free_block(void* block, size_t size);
// The alignment of a block of 2 MiB or more.
constexpr std::align_val_t huge_page_alignment{size_t{2} << 20};
// Runs the hook, logs `message` and ends the program with code 1.
[[noreturn]] void fatal_out_of_memory(const char* message);
