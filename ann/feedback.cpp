#include "ann/feedback.h"

// The network's answers arrive with their own change; until then a fixed ladder stands in.
uint16_t propose_interval(uint16_t ivl, uint16_t, uint16_t, uint16_t grade)
{
    return grade < 3 ? 0 : static_cast<uint16_t>(ivl * 2 + grade - 2);
}

void feedback_to_ann(uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t) {}
