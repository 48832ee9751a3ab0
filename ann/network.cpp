#include "ann/network.h"

// The network arrives with its own change.
ann_state& ann_globals()
{
    static ann_state state;
    return state;
}

float compute_test_error() { return ann_globals().test_error; }
