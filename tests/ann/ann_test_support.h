#pragma once
// The network tests start from the built-in weights, which the kit's reset gives every test.
#include <cmath>

#include "support/test_support.h"

using AnnTest = clean_state_test;

// Whole days behind an encoded value (exact for encodings of whole days up to 2048).
inline int days_of(float encoded) { return static_cast<int>(std::lround(static_cast<double>(encoded) * encoded * 2048.0)); }
