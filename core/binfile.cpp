#include "core/binfile.h"

// The binary file arrives with its own change; until then nothing is read or written.
int load_bin(const char*) { return 1; }
int write_bin(const char*) { return 0; }
int save_database() { return 0; }
