// Feeds arbitrary bytes to load_bin as elements.bin, then saves what was read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/binfile.h"
#include "core/database.h"
#include "core/lifecycle.h"

namespace {

struct fuzz_directory {
    fuzz_directory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "cardwright-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        path = pattern + "/";
    }
    ~fuzz_directory() { std::filesystem::remove_all(path); }
    std::string path;
};

const std::string& data_dir()
{
    static const fuzz_directory dir;
    return dir.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = data_dir() + "elements.bin";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    if (ma_init(data_dir().c_str()) == MA_INIT_FROM_BIN) {
        // What was accepted must be writable and read back the same way.
        if (write_bin((data_dir() + "again.bin").c_str()) != 0 || load_bin((data_dir() + "again.bin").c_str()) != 0)
            std::abort();
    }
    ma_deinit(0);
    std::filesystem::remove(data_dir() + "error.log");
    for (const auto& entry : std::filesystem::directory_iterator(data_dir()))
        if (entry.path().filename().string().starts_with("elements.refused"))
            std::filesystem::remove(entry.path());
    return 0;
}
