#pragma once
// Time-zone information built from the system's POSIX TZ rule.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

// Fills the record from the test override, $TZ (a rule, or a zone name whose TZif file ends
// with a rule) or /etc/localtime. Returns TIME_ZONE_ID_INVALID when no zone can be read.
uint32_t get_time_zone_information(TIME_ZONE_INFORMATION* tz);

// Translates one POSIX TZ rule such as "CET-1CEST,M3.5.0,M10.5.0/3". A zone without daylight
// saving, or with a rule that cannot be expressed as month/week/day (Julian forms), gets
// month 0 in both dates. Returns false when the text is not a rule.
bool tz_from_posix_rule(std::string_view rule, TIME_ZONE_INFORMATION* tz);

// The rule in the footer of a TZif (version 2 or later) file's contents, or "" if none.
std::string tzif_footer_rule(std::string_view contents);
