#pragma once
// elements.bin: the binary database file.
#include <string>

// 0 read, 1 not read (missing, old or damaged file).
int load_bin(const char* path);
// 0 written, 1 the file cannot be opened, 2 written but closing failed, 5 a write failed.
int write_bin(const char* path);
// Rewrites the queue file and elements.bin. 0 written, 1 not written.
int save_database();

// Keeps the file at `path` beside it as "<name>.refused-<n>.bin" with the first free n, and
// logs one INFO line naming the copy. True when kept (or when there is no file to keep).
bool keep_refused_file(const std::string& path);
