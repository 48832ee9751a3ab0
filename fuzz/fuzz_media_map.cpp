#include "fuzz/fuzz_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz_import_file("media", data, size);
}
