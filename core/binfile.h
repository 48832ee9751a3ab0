#pragma once
// elements.bin: the binary database file.

// 0 read, 1 not read (missing, old or damaged file).
int load_bin(const char* path);
// 0 written, 1 the file cannot be opened, 2 written but closing failed, 5 a write failed.
int write_bin(const char* path);
// Rewrites the queue file and elements.bin. 0 written, 1 not written.
int save_database();
