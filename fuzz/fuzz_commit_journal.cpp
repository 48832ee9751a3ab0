#include <cstdio>
#include <string>

#include "fuzz/fuzz_open.h"

namespace {

void write(const std::string& path, const std::string& bytes)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// An interrupted close: old files in place, new ones beside them that a journal may name.
void interrupted_close(const std::string& dir)
{
    const std::string empty_database("\x0c\x00\x00\x00\x00\x00\x01\x00\x00\x00\x04\x00root"
                                     "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                     "\x00\x00\x00\x00\x00\x00\x00\x00",
        40);
    write(dir + "elements.bin", empty_database);
    write(dir + "elements.bin.tmp-abc123", empty_database);
    write(dir + "queue.txt", "<q>old</q>\n<a>a</a>\n");
    write(dir + "queue.txt.tmp-def456", "<q>new</q>\n<a>a</a>\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz_open_with_file("commit.journal", data, size, interrupted_close);
}
