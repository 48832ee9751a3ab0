#pragma once
// Shared body of the harnesses: a data directory holding one file made of the fuzzer's bytes,
// opened with everything the program does at start and closed again, so that the writers run
// on whatever the readers made of it. Then what was written is opened once more: every item,
// queue item and training case read the first time must still be there, with the same texts
// (the process aborts when one is lost, so that the fuzzer reports it).
#include <cstddef>
#include <cstdint>

#include <string>

// The harnesses' folder, in memory where the machine has it, removed at exit; ends with '/'.
const std::string& fuzz_dir();

enum class fuzz_session {
    open_and_close,  // what a start and an immediate close do
    grade_a_few,  // and a few items added and graded between them, so that the network runs
};

// `prepare`, when given, puts further files into the emptied directory first.
int fuzz_open_with_file(const char* file_name, const uint8_t* data, size_t size,
    void (*prepare)(const std::string& dir) = nullptr, fuzz_session session = fuzz_session::open_and_close);
