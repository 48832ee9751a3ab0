#pragma once
// Day numbers: days since the database's start.
#include <cstdint>

// Days since the database's start, each beginning at 03:30 local time; t = 0 means now.
uint16_t day_number(uint32_t t);
