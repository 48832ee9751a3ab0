#pragma once
// Local wall clock and exact Gregorian arithmetic between SYSTEMTIME and FILETIME.
#include <cstdint>
#include <optional>

#include "platform/win_types.h"

// Reads the local wall clock, or the clock a test has set.
void get_local_time(SYSTEMTIME* out);

// Fail on dates the calendar does not have (month 13, 31 April, year before 1601, ...).
bool system_time_to_file_time(const SYSTEMTIME* st, FILETIME* ft);
bool file_time_to_system_time(const FILETIME* ft, SYSTEMTIME* st);
