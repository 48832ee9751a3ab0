#pragma once
// Opening and closing the database in a data directory, with its lock.

enum : int {
    MA_INIT_FROM_BIN = 0,
    MA_INIT_BIN_NOT_READ = 2,
    MA_INIT_DIR_NOT_ACCESSIBLE = 8,
    MA_INIT_HELD_BY_OTHER = 16,
    MA_INIT_XML_NOT_READ = 32,
    MA_INIT_READ_ONLY = 64,  // the directory cannot be written: open for reviews, nothing is saved
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

enum : int {
    LOCKFILE_CREATED = 0,
    LOCKFILE_NOT_CREATABLE = 2,
    LOCKFILE_READ_ONLY = 4,  // the directory can be read but not written: no lock, and none needed
    LOCKFILE_HELD = 16,
};
int create_lockfile();
int remove_lockfile();

