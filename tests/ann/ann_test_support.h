#pragma once
// A fresh network state around each test: built-in weights, no network, an empty store.
#include <cmath>

#include "ann/network.h"
#include "support/test_support.h"

class AnnTest : public clean_state_test {
protected:
    void SetUp() override
    {
        clean_state_test::SetUp();
        free_ann();
        ann_globals() = ann_state{};
    }
    void TearDown() override
    {
        free_ann();
        ann_globals() = ann_state{};
        clean_state_test::TearDown();
    }
};

// Whole days behind an encoded value (exact for encodings of whole days up to 2048).
inline int days_of(float encoded) { return static_cast<int>(std::lround(static_cast<double>(encoded) * encoded * 2048.0)); }
