#pragma once
// The lifetime collection (tools/lifetime_data.h) for the benchmarks, at the full size or divided:
// made once per process in a temporary directory, or, for the full size, kept between runs in the
// directory CARDWRIGHT_LIFETIME_DIR names (made there when it holds none).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "bench/support/user_database.h"
#include "platform/files.h"
#include "tools/lifetime_data.h"

namespace bench_data {

struct lifetime_directory {
    explicit lifetime_directory(uint32_t divisor)
    {
        const char* kept = divisor == 1 ? std::getenv("CARDWRIGHT_LIFETIME_DIR") : nullptr;
        if (kept && *kept) {
            path = std::string(kept) + "/";
            std::filesystem::create_directories(path);
            if (std::filesystem::exists(path + "elements.bin"))
                return;
        } else {
            path = make_temp_directory("cardwright-lifetime-bench");
            temporary = true;
        }
        made = make_lifetime_directory(path, lifetime_scaled(divisor));
    }
    ~lifetime_directory()
    {
        if (temporary)
            std::filesystem::remove_all(path);
    }
    std::string path;  // ends in '/'
    bool temporary = false;  // removed at the end
    bool made = true;  // false when the collection could not be written
};

// The collection divided by `divisor`, made on first use.
inline const std::string& lifetime_path(uint32_t divisor)
{
    return made_once<lifetime_directory>(divisor);
}

}  // namespace bench_data
