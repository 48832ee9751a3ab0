#pragma once
// The network's start-up and shutdown with its weight and case files.

// Saves weights.bin and frees the network and the case store.
void ma_nn_deinit();
