#include "sim_random.h"

#include <cmath>
#include <numbers>

namespace {

uint64_t mix(uint64_t x)
{
    // splitmix64's finaliser: every input bit reaches every output bit.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

double uniform_draw(uint64_t seed, uint32_t index, uint32_t event, uint32_t stream)
{
    const uint64_t h = mix(mix(mix(seed ^ index) ^ (static_cast<uint64_t>(event) << 8)) ^ stream);
    return (static_cast<double>(h >> 11) + 0.5) * 0x1.0p-53;
}

double standard_normal(uint64_t seed, uint32_t index, uint32_t stream, uint32_t event)
{
    // Box-Muller on two draws of the same key.
    return std::sqrt(-2.0 * std::log(uniform_draw(seed, index, event, stream))) *
        std::cos(2.0 * std::numbers::pi * uniform_draw(seed, index, event + 1, stream));
}
