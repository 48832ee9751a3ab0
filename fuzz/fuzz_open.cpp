#include "fuzz/fuzz_open.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "fuzz/fuzz_history.h"
#include "session/lifecycle.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/timezone.h"

namespace {

const std::string& fuzz_dir()
{
    static const std::string dir = make_temp_directory("cardwright-fuzz");
    return dir;
}

}  // namespace

int fuzz_open_with_file(const char* file_name, const uint8_t* data, size_t size, void (*prepare)(const std::string& dir))
{
    const std::string& dir = fuzz_dir();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        std::filesystem::remove_all(entry.path(), ignored);

    // A fixed clock and zone keep every run the same.
    platform_reset();
    TIME_ZONE_INFORMATION zone;
    tz_from_posix_rule("CET-1CEST,M3.5.0,M10.5.0/3", &zone);
    platform_globals().zone_override = zone;
    platform_globals().fixed_local_time = SYSTEMTIME{2026, 6, 0, 15, 12, 0, 0, 0};
    calendar_reset();
    platform_globals().sync_to_storage = false;
    if (prepare)
        prepare(dir);

    if (FILE* f = std::fopen((dir + file_name).c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ma_init(dir.c_str());
    ma_nn_init();
    fuzz_history_figures();
    ma_deinit(0);
    return 0;
}
