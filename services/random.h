#pragma once
// A random number below a bound, from the handheld runtime's generator.

// 0 to n - 1; n must be at least 1.
unsigned rand_below(unsigned n);
