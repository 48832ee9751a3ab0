#pragma once
// The network's start-up and shutdown with its weight and case files.

// Builds the network, loads user_cases.bin and weights.bin; called once the database is open.
void ma_nn_init();
// Saves weights.bin and frees the network and the case store.
void ma_nn_deinit();
