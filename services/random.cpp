#include "services/random.h"

#include "platform/crt_rand.h"

unsigned rand_below(unsigned n)
{
    return static_cast<unsigned>(crt_rand()) / (static_cast<unsigned>(crt_rand_max) / n + 1);
}
