#include "ann/ann_files.h"

// The network arrives with its own change.
void ma_nn_init() {}
void ma_nn_deinit() {}
