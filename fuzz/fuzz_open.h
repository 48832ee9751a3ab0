#pragma once
// Shared body of the harnesses: a data directory holding one file made of the fuzzer's bytes,
// opened with everything the program does at start and closed again, so that the writers run
// on whatever the readers made of it.
#include <cstddef>
#include <cstdint>

#include <string>

// `prepare`, when given, puts further files into the emptied directory first.
int fuzz_open_with_file(const char* file_name, const uint8_t* data, size_t size,
    void (*prepare)(const std::string& dir) = nullptr);
