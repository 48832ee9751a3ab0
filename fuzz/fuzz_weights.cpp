#include "fuzz/fuzz_open.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz_open_with_file("weights.bin", data, size, nullptr, fuzz_session::grade_a_few);
}
