#pragma once
// The handheld C runtime's generator (0..32767). glibc's rand has another range and sequence,
// and the scheduling's draws must repeat exactly for a given seed.
#include <cstdint>

constexpr int crt_rand_max = 32767;

void crt_srand(uint32_t seed);
int crt_rand();
