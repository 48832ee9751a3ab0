#pragma once
// Fresh memory costs the kernel's zeroing of its pages at their first touch, and a lifetime
// database fills a few hundred megabytes of it. While one loads, a thread of its own allocates
// and touches the next blocks alloc_block_or_die hands out (the item and queue stores fill them),
// so that the zeroing runs beside the reading instead of in it.
#include <cstddef>

// Keeps up to `ahead` blocks ready until stop_preparing_blocks.
void start_preparing_blocks(size_t ahead);
// A ready block of `size` bytes (more than 2 MiB and at most 4 MiB; free_block frees it), or
// null when none is ready: alloc_block_or_die then allocates one itself.
void* take_prepared_block(size_t size);
// Ends the preparing; the ready blocks not taken are freed.
void stop_preparing_blocks();
