#pragma once
// error.log in the data directory: one formatted message per call, appended, flushed and
// closed at once. The start's reading threads write to it too: a line is written whole.
#include <cstdio>

// Writes only while the log is on (a database open or being opened).
void write_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void set_log_on(bool on);
bool log_is_on();
// fclose, logging "Cannot close" with the path when it fails, as every file of the system does.
void fclose_logged(FILE* file, const char* path);
