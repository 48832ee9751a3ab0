#pragma once
// Opening and closing the database, and the process-wide services every module uses.
#include <cstddef>
#include <cstdint>
#include <cstdio>

enum : int {
    MA_INIT_FROM_BIN = 0,
    MA_INIT_BIN_NOT_READ = 2,
    MA_INIT_DIR_NOT_ACCESSIBLE = 8,
    MA_INIT_HELD_BY_OTHER = 16,
    MA_INIT_XML_NOT_READ = 32,
    MA_INIT_NEW_DATABASE = MA_INIT_BIN_NOT_READ | MA_INIT_XML_NOT_READ,
};

enum : int {
    DB_UNINITIALISED = 0,
    DB_OPENING = 1,
    DB_OPEN = 2,
};

enum : int {
    MA_DEINIT_DONE = 0,
    MA_DEINIT_NOT_INITIALISED = 1,
    MA_DEINIT_NOT_SAVED = 2,  // nothing was freed, the lock stays; db().save_problem says why
    MA_DEINIT_BACKUP_FAILED = 3,  // closed and saved, but no backup; db().backup_problem says why
};

int ma_init(const char* path);
int ma_deinit(int flag);
// Closes the database without saving: for a session whose changes the user gave up, or saved
// in another folder.
void ma_discard();

// 0 on success; 1 when the path is too long to be a data directory.
int set_data_dir(const char* path);
// The data directory followed by `name`, in one of three rotating buffers. An empty text
// when the result would not fit, so that opening it fails as for an unreachable file.
const char* data_path(const char* name);
void write_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
// fclose, logging "Cannot close" with the path when it fails, as every file of the system does.
void fclose_logged(FILE* file, const char* path);

enum : int { LOCKFILE_CREATED = 0, LOCKFILE_NOT_CREATABLE = 2, LOCKFILE_HELD = 16 };
int create_lockfile();
int remove_lockfile();

void* alloc_or_die(size_t size);
char* dup_string(const char* text);
unsigned rand_below(unsigned n);
// The UTF-16 form in the wide path buffer, or null when it does not fit.
const char16_t* utf8_to_wide(const char* text);

// Saves what can be saved (ma_deinit(1)), logs `message` and ends the program with code 1.
[[noreturn]] void fatal_out_of_memory(const char* message);
