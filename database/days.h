#pragma once
// Day numbers: days since the database's start.
#include <cstdint>

// Days since the database's start, each beginning at 03:30 local time; t = 0 means now.
uint16_t day_number(uint32_t t);

// Items graded in the hours before a night's collection's first day began, while the day number
// wrapped, carry days 49,710 later than their grade: they get their interval's day again. The
// number of items put right.
uint32_t repair_wrapped_first_hours();
