#include "platform/crt_rand.h"

#include "platform/platform_state.h"

void crt_srand(uint32_t seed) { platform_globals().rand_seed = seed; }

int crt_rand()
{
    uint32_t& seed = platform_globals().rand_seed;
    seed = seed * 214013u + 2531011u;
    return static_cast<int>((seed >> 16) & 0x7FFF);
}
