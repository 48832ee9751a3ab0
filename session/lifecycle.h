#pragma once
// Opening and closing the database in a data directory, with its lock.

// What ma_init reports: MA_INIT_FROM_BIN, or the sum of what was not read or stands in the way.
enum : int {
    MA_INIT_FROM_BIN = 0,  // elements.bin was read
    MA_INIT_BIN_NOT_READ = 2,  // elements.bin was missing or could not be read
    MA_INIT_DIR_NOT_ACCESSIBLE = 8,  // the directory cannot be used; nothing was read
    MA_INIT_HELD_BY_OTHER = 16,  // another copy holds the database; nothing was read
    MA_INIT_XML_NOT_READ = 32,  // elements.xml was missing or could not be read either
    MA_INIT_READ_ONLY = 64,  // the directory cannot be written: open for reviews, nothing is saved
    MA_INIT_NO_LOCKS = 128,  // opened, but its file system keeps no locks: a second copy is not kept out
    MA_INIT_NEW_DATABASE = MA_INIT_BIN_NOT_READ | MA_INIT_XML_NOT_READ,  // a new, empty database
};

// Where db().db_state stands.
enum : int {
    DB_UNINITIALISED = 0,  // nothing open
    DB_OPENING = 1,  // ma_init is reading
    DB_OPEN = 2,  // open, until ma_deinit or ma_discard
};

// What ma_deinit reports.
enum : int {
    MA_DEINIT_DONE = 0,  // saved and closed
    MA_DEINIT_NOT_INITIALISED = 1,  // nothing was open
    MA_DEINIT_NOT_SAVED = 2,  // nothing was freed, the lock stays; db().save_problem says why
    MA_DEINIT_BACKUP_FAILED = 3,  // closed and saved, but no backup; db().backup_problem says why
};

int ma_init(const char* path);
int ma_deinit(int flag);
// Closes the database without saving: for a session whose changes the user gave up, or saved
// in another folder.
void ma_discard();

// What create_lockfile reports.
enum : int {
    LOCKFILE_CREATED = 0,  // the lock is held
    LOCKFILE_NOT_CREATABLE = 2,  // no lock file could be made
    LOCKFILE_READ_ONLY = 4,  // the directory can be read but not written: no lock, and none needed
    LOCKFILE_HELD = 16,  // another copy holds the lock
    LOCKFILE_NO_LOCKS = 32,  // the file is made, but the file system keeps no locks (ENOLCK)
};
int create_lockfile();
int remove_lockfile();

