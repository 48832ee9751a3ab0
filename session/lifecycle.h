#pragma once
// Opening and closing the database in a data directory, with its lock.
#include "database/database.h"
#include "session/save_problem.h"

// What ma_init reports: from_bin, or the sum of what was not read or stands in the way.
enum class [[nodiscard]] init_status : int {
    from_bin = 0,  // elements.bin was read
    bin_not_read = 2,  // elements.bin was missing or could not be read
    dir_not_accessible = 8,  // the directory cannot be used; nothing was read
    held_by_other = 16,  // another copy holds the database; nothing was read
    xml_not_read = 32,  // elements.xml was missing or could not be read either
    read_only = 64,  // the directory cannot be written: open for reviews, nothing is saved
    no_locks = 128,  // opened, but its file system keeps no locks: a second copy is not kept out
    new_database = bin_not_read | xml_not_read,  // a new, empty database
};
constexpr init_status operator|(init_status a, init_status b)
{
    return static_cast<init_status>(static_cast<int>(a) | static_cast<int>(b));
}
// Whether `status` holds one of `flags`.
constexpr bool holds_any(init_status status, init_status flags)
{
    return (static_cast<int>(status) & static_cast<int>(flags)) != 0;
}

// How ma_deinit closes.
enum class close_mode : int {
    complete = 0,  // save, free everything, remove the lock file
    save_only = 1,  // save and remove the lock file, free nothing: on the way to a fatal exit
};

// What ma_deinit reports.
enum class deinit_status : int {
    done = 0,  // saved and closed
    not_initialised = 1,  // nothing was open
    not_saved = 2,  // nothing was freed, the lock stays
    backup_failed = 3,  // closed and saved, but no backup
};

struct [[nodiscard]] deinit_result {
    deinit_status status = deinit_status::done;  // how it went
    save_problem problem;  // what was not saved and why (not_saved), or the backup's (backup_failed)
    bool operator==(deinit_status s) const { return status == s; }
};

// Whether ma_init starts the network too (ma_nn_init), its cases loading beside the rest of the
// database so that neither waits for the other; else the caller starts it after.
enum class network_start { later, with_database };

init_status ma_init(const char* path, network_start network = network_start::later);
deinit_result ma_deinit(close_mode mode);
// Closes the database without saving: for a session whose changes the user gave up, or saved
// in another folder.
void ma_discard();

// What create_lockfile reports.
enum class [[nodiscard]] lockfile_status : int {
    created = 0,  // the lock is held
    not_creatable = 2,  // no lock file could be made
    read_only = 4,  // the directory can be read but not written: no lock, and none needed
    held = 16,  // another copy holds the lock
    no_locks = 32,  // the file is made, but the file system keeps no locks (ENOLCK)
};
lockfile_status create_lockfile();
void remove_lockfile();
