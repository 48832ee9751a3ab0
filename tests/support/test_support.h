#pragma once
// Shared fixtures: a fresh temporary directory, a fixed clock and zone, a clean database.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/win_types.h"

// A directory under /tmp that is removed with everything in it when the object goes.
class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    const std::string& path() const { return path_; }  // ends with '/'
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::string read_file(const std::string& path);
// Little-endian bytes for files built by hand, and a text with its 16-bit length before it.
inline std::string le16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string le32(uint32_t v) { return le16(static_cast<uint16_t>(v)) + le16(static_cast<uint16_t>(v >> 16)); }
inline std::string text16(const std::string& s) { return le16(static_cast<uint16_t>(s.size())) + s; }
void write_file(const std::string& path, const std::string& contents);
bool file_exists(const std::string& path);

SYSTEMTIME make_system_time(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// A zone rule in POSIX form, e.g. "CET-1CEST,M3.5.0,M10.5.0/3"; resets the calendar's cache.
void use_zone(const char* posix_rule);
// Sets the local wall clock that time_now reads.
void set_local_clock(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Every process-wide state of the library back to its start: the database closed, no undo
// steps, the network, the formats, the platform's stand-ins, the calendar and the services.
void reset_process_state();

// Resets all process-wide state around each test, in a UTC zone with a fixed clock.
class clean_state_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// File operations that fail as a full disk or a read-only mount would make them fail.
struct file_fault {
    std::optional<file_op> op = {};  // unset: every kind
    std::string path_part = {};  // the paths that hold it; empty: every path
    int error = 0;  // the errno of the failure
    int at = -1;  // >= 0: only the operation of this number (the first is 0), of whatever kind
};
// From now on the operations the faults name fail, counted from 0; none: every one succeeds.
// The reset of the process state ends them.
void fail_file_operations(std::vector<file_fault> faults);
// Ends the process with SIGKILL just before its file operation number `at` from now (the first
// is 0); negative: never, only counting.
void kill_at_file_operation(int at);
// The file operations since the last of the two calls above.
int file_operations_seen();

// Runs `body` in a child process (stdio flushed first) and returns its exit code, or -1 when
// it did not exit (killed by a signal).
int run_in_child(const std::function<int()>& body);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized_build = true;
#else
constexpr bool sanitized_build = false;
#endif
// Lets the process map `extra` bytes more than it has mapped now: later allocations past that
// fail, as when the machine's memory runs out. False when the limit could not be set.
bool limit_address_space(size_t extra);
