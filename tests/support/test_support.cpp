#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ann/network.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "formats/xml_scan.h"
#include "session/undo.h"
#include "session/lifecycle.h"
#include "platform/files.h"
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

void write_file(const std::string& path, const std::string& contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

SYSTEMTIME make_system_time(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME st;
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    return st;
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

void reset_process_state()
{
    // A database a test left open is closed whatever its save does: the test checked what it meant to.
    if (db().db_state != DB_UNINITIALISED)
        static_cast<void>(ma_deinit(close_mode::complete));
    // A database that could not be saved stays open; the next test must not save it into a
    // directory that is gone by then.
    if (db().db_state != DB_UNINITIALISED)
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
    if (child == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
