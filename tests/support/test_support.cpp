#include "support/test_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ann/network.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "formats/xml_scan.h"
#include "session/undo.h"
#include "session/lifecycle.h"
#include "platform/platform_state.h"
#include "platform/timezone.h"
#include "services/services_state.h"

temp_dir::temp_dir() : path_(make_temp_directory("cardwright-test")) {}

temp_dir::~temp_dir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& contents) { std::ofstream(path, std::ios::binary | std::ios::trunc) << contents; }

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

SYSTEMTIME make_system_time(int year, int month, int day, int hour, int minute, int second)
{
    return {.wYear = year, .wMonth = month, .wDay = day, .wHour = hour, .wMinute = minute, .wSecond = second};
}

void use_zone(const char* posix_rule)
{
    TIME_ZONE_INFORMATION zone;
    if (!tz_from_posix_rule(posix_rule, &zone))
        std::abort();
    platform_globals().zone_override = zone;
    platform_globals().zone_unreadable = false;
    calendar_reset();
}

void set_local_clock(int year, int month, int day, int hour, int minute, int second)
{
    platform_globals().fixed_local_time = make_system_time(year, month, day, hour, minute, second);
}

namespace {

struct file_fault_plan {
    std::vector<file_fault> faults;
    int kill_at = -1;
    int seen = 0;
};
file_fault_plan fault_plan;

int planned_fault(file_op op, const char* path)
{
    const int n = fault_plan.seen++;
    if (n == fault_plan.kill_at)
        ::raise(SIGKILL);
    for (const file_fault& f : fault_plan.faults)
        if ((!f.op || *f.op == op) && (f.at < 0 || f.at == n)
            && (f.path_part.empty() || (path && std::strstr(path, f.path_part.c_str()))))
            return f.error;
    return 0;
}

}  // namespace

void fail_file_operations(std::vector<file_fault> faults)
{
    fault_plan = {std::move(faults), -1, 0};
    platform_globals().fault_hook = fault_plan.faults.empty() ? nullptr : planned_fault;
}

void kill_at_file_operation(int at)
{
    fault_plan = {{}, at, 0};
    platform_globals().fault_hook = planned_fault;
}

int file_operations_seen() { return fault_plan.seen; }

void reset_process_state()
{
    fault_plan = {};
    // A database a test left open is closed whatever its save does: the test checked what it meant to.
    if (db().db_state != database_state::uninitialised)
        static_cast<void>(ma_deinit(close_mode::complete));
    // A database that could not be saved stays open; the next test must not save it into a
    // directory that is gone by then.
    if (db().db_state != database_state::uninitialised)
        ma_discard();
    forget_undo();
    ann_globals() = ann_state{};
    formats() = formats_state{};
    platform_reset();
    calendar_reset();
    services_reset();
}

void clean_state_test::SetUp()
{
    reset_process_state();
    use_zone("UTC0");
    set_local_clock(2026, 1, 15, 12);
}

void clean_state_test::TearDown() { reset_process_state(); }

int run_in_child(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    // An exception ends the child as it would end the program, not in the test runner's hands.
    if (child == 0)
        [&]() noexcept { ::_exit(body()); }();
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool limit_address_space(size_t extra)
{
    rlim_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlimit limit {pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + extra, RLIM_INFINITY};
    return pages > 0 && ::setrlimit(RLIMIT_AS, &limit) == 0;
}
