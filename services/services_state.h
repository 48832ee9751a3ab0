#pragma once
// The process-wide state of the services every layer above uses: the data directory with the
// paths built in it and the answer to exhausted memory (the log's switch is services/log.h's).
#include <string>

using out_of_memory_hook = void (*)();

struct services_state {
    std::string data_dir;  // ends with '/'; empty while no valid directory is set
    char path_buffers[3][512] = {};  // data_path's results, used in rotation
    int path_index = 0;  // the buffer data_path used last
    char16_t wide_path[512] = {};  // utf8_to_wide's result
    out_of_memory_hook on_out_of_memory = nullptr;  // saves what can be saved before the exit
    int failing_allocations = 0;  // coming allocations that fail, as on an exhausted heap (tests)
};

services_state& services();
// Back to the initial state.
void services_reset();
