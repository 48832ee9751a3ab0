#pragma once
// The process-wide state of the platform stand-ins, in one record so that tests can set the
// clock, the zone and the generator and put everything back afterwards.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/win_types.h"

enum class file_op;
// Asked before each system call that saves the user's files, and before elements.bin is mapped
// (see platform/files.h): returns 0 to let it run, or an errno value with which the call then
// fails. `path` names the file.
using file_fault_hook = int (*)(file_op op, const char* path);

struct platform_state {
    // When set, get_local_time returns this instead of the machine's clock.
    std::optional<SYSTEMTIME> fixed_local_time;
    // When set, the zone information comes from here instead of $TZ or /etc/localtime.
    std::optional<TIME_ZONE_INFORMATION> zone_override;
    // When set, the zone information cannot be read.
    bool zone_unreadable = false;
    // Number of coming file_time_to_system_time calls that fail as on an invalid time.
    int failing_file_time_conversions = 0;
    // False skips fsync: for fuzzing, where thousands of saves a second would wait on the disk.
    bool sync_to_storage = true;
    // Null lets every file operation run; tests register one to fail or to count them.
    file_fault_hook fault_hook = nullptr;
    // When set, the free space every disk reports: a shared disk's own changes too fast to test by.
    std::optional<uint64_t> free_bytes_override;
    // Generator state of the C runtime's rand.
    uint32_t rand_seed = 1;
};

platform_state& platform_globals();
// Back to the machine's clock and zone, and the generator's initial seed.
void platform_reset();
