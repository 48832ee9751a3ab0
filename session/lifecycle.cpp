#include "session/lifecycle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "database/backups.h"
#include "database/binfile.h"
#include "database/database.h"
#include "database/days.h"
#include "services/prepared_blocks.h"
#include "formats/queue.h"
#include "formats/xml.h"
#include "platform/file_commit.h"
#include "platform/files.h"
#include "services/log.h"
#include "services/memory.h"
#include "services/paths.h"
#include "services/services_state.h"
#include "session/choose.h"
#include "session/grading.h"
#include "session/queue_file_edits.h"
#include "session/retention_control.h"
#include "session/review_log.h"
#include "session/saving.h"
#include "session/sync_snapshot.h"
#include "session/undo.h"

namespace {

// The log writes while a database is open or being opened; exhausted memory then first saves
// what it can.
void save_before_fatal_exit()
{
    // The exit follows whatever the save did; a failure is in the log already.
    static_cast<void>(ma_deinit(close_mode::save_only));
}

void set_db_state(database_state state)
{
    db().db_state = state;
    set_log_on(state != database_state::uninitialised);
    set_out_of_memory_hook(state == database_state::uninitialised ? nullptr : save_before_fatal_exit);
}

void finish_interrupted_commit(const std::string& dir)
{
    switch (recover_commit(dir)) {
    case recovery_status::nothing_to_do:
        break;
    case recovery_status::completed:
        write_log("INFO: the last close was interrupted while saving; its save was completed\n");
        break;
    case recovery_status::discarded:
        write_log("INFO: the last close was interrupted before its save; the files saved before it are used\n");
        break;
    case recovery_status::failed:
        write_log("ERROR: the last close was interrupted while saving, and its save cannot be completed: %s\n",
            std::strerror(errno));
        break;
    }
}

// A refused elements.bin is kept under a name of its own at once, and the newest backup, the
// last good state, is marked so that the sessions that follow cannot rotate it away.
void keep_refused_database()
{
    keep_refused_file(services().data_dir + "elements.bin");
    protect_newest_backup(services().data_dir);
}

}  // namespace

namespace {

// True when `path` still names the file open at `fd`. A copy that was closing may have removed
// the file between our open and our lock, and a lock on a file without a name holds nothing.
bool still_named(int fd, const char* path)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path, &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

// A directory that exists and can be read, where writing was refused: a read-only mount, or
// permissions the user set. Its database can still be reviewed.
bool readable_but_not_writable(int error)
{
    if (error != EACCES && error != EROFS && error != EPERM)
        return false;
    const std::string& dir = services().data_dir;
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(dir.c_str(), R_OK | X_OK) == 0;
}

// From this size of elements.bin on, the memory of the load is made ready beside it, this many
// blocks ahead: enough to keep the reading from waiting, little to waste at its end.
constexpr std::uintmax_t large_database = std::uintmax_t{32} << 20;
constexpr size_t blocks_ahead = 4;

// Each lost race means another copy just closed; a few tries are enough unless copies keep
// starting and closing, and then the database counts as held.
constexpr int lock_attempts = 16;

}  // namespace

lockfile_status create_lockfile()
{
    database& d = db();
    const char* path = data_path("lockfile");
    for (int attempt = 0; attempt < lock_attempts; ++attempt) {
        // Never through a link: opening one would empty whatever file it points to.
        int fd = open_for_writing(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0 && errno == ELOOP) {
            write_log("WARNING: \"%s\" is a symbolic link; it is replaced by a file of its own\n", path);
            if (::unlink(path) == 0)
                fd = open_for_writing(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        }
        if (fd < 0)
            return readable_but_not_writable(errno) ? lockfile_status::read_only : lockfile_status::not_creatable;
        // The kernel drops the lock with the process, so a file left by a crash does not block.
        bool locked = true;
        if (const std::error_code lock_error = lock_exclusive(fd, path)) {
            const int error = lock_error.value();
            // An NFS home without a lock manager: the directory is fine, only the lock is missing.
            if (error == ENOLCK) {
                locked = false;
            } else {
                ::close(fd);
                return error == EWOULDBLOCK ? lockfile_status::held : lockfile_status::not_creatable;
            }
        }
        if (locked && !still_named(fd, path)) {
            ::close(fd);
            continue;
        }
        // Emptied only once it is ours: truncating before the lock would touch another copy's file.
        // An empty lock file is a habit, not a need: the lock holds either way.
        [[maybe_unused]] const int emptied = ::ftruncate(fd, 0);
        if (d.lock_fd >= 0)
            ::close(d.lock_fd);
        d.lock_fd = fd;
        return locked ? lockfile_status::created : lockfile_status::no_locks;
    }
    return lockfile_status::held;
}

void remove_lockfile()
{
    database& d = db();
    delete_file(utf8_to_wide(data_path("lockfile")));
    if (d.lock_fd >= 0) {
        ::close(d.lock_fd);
        d.lock_fd = -1;
    }
}

namespace {

// The items, the network and the queue; the categories go last, with the state.
void free_contents()
{
    forget_undo();  // its steps point at the items freed here
    erase_memory_after_ll();
    db().item_count = 0;
    ann_shutdown();
    free_pending_list();
}

// An open database removes its lock file; one whose opening stopped early only lets the lock go.
// One opened read-only never had a lock, and the lock file there may be another copy's.
void release_lock()
{
    database& d = db();
    d.read_only = false;
    if (d.db_state == database_state::open && d.lock_fd >= 0) {
        remove_lockfile();
    } else if (d.lock_fd >= 0) {
        ::close(d.lock_fd);
        d.lock_fd = -1;
    }
}

}  // namespace

init_status ma_init(const char* path, network_start network)
{
    database& d = db();
    const bool dir_ok = set_data_dir(path) == data_dir_status::set;
    insert_scheduled(nullptr);
    choose_next_item(nullptr, -1);
    create_category_table();
    set_db_state(database_state::opening);
    if (!dir_ok)
        return init_status::dir_not_accessible;
    const lockfile_status lock = create_lockfile();
    if (lock == lockfile_status::held) {
        write_log("ERROR: Seems a copy of Cardwright is already running\n\ttry deleting \"%s\" file if this is "
                  "not true (e.g. previous copy of Cardwright crashed)\n",
            data_path("lockfile"));
        return init_status::held_by_other;
    }
    if (lock == lockfile_status::no_locks) {
        write_log("WARNING: file locks are not available in \"%s\"; the database is opened, but a second copy "
                  "of Cardwright started on it cannot be kept out\n",
            services().data_dir.c_str());
    } else if (lock != lockfile_status::created && lock != lockfile_status::read_only) {
        write_log("INFO: ma_init(): directory (%s) is not accessible.\n", services().data_dir.c_str());
        return init_status::dir_not_accessible;
    }
    d.refused_copy.clear();
    d.read_only = lock == lockfile_status::read_only;
    if (d.read_only) {
        write_log("WARNING: the data directory \"%s\" cannot be written; the database is opened read-only and "
                  "nothing is saved there\n",
            services().data_dir.c_str());
    } else {
        // Holding the lock, nobody else writes here. A close that a crash interrupted is finished
        // first; then what it left half-written can go.
        finish_interrupted_commit(services().data_dir);
        remove_stale_temporaries(services().data_dir);
        remove_stale_temporaries(services().data_dir + backups_folder);
    }
    if (network == network_start::with_database)
        ma_nn_init(case_loading::beside);
    if (file_size_or_zero(data_path("elements.bin")) >= large_database)
        start_preparing_blocks(blocks_ahead);
    d.item_count = 0;
    init_status result = init_status::from_bin;
    if (load_bin(data_path("elements.bin")) != bin_load_status::done) {
        result = init_status::bin_not_read;
        if (d.bin_refused && !d.read_only)
            keep_refused_database();
        if (load_xml(data_path("elements.xml")) != xml_load_status::done) {
            result = init_status::new_database;
            d.time_of_start = time_now();
            erase_memory_after_ll();
            d.item_count = 0;
            free_categories();
            create_category_table();
            create_root_category();
        }
    }
    if (category_count() == 0)
        create_root_category();
    static_cast<void>(repair_wrapped_first_hours());
    load_queue();  // the count of items it added is not needed here
    remember_queue_file();
    stop_preparing_blocks();
    open_retention_control(data_path(review_log_name));
    count_todays_failures(data_path(review_log_name));
    set_db_state(database_state::open);
    if (lock == lockfile_status::no_locks)
        result = result | init_status::no_locks;
    return d.read_only ? result | init_status::read_only : result;
}

deinit_result ma_deinit(close_mode mode)
{
    database& d = db();
    const bool complete = mode == close_mode::complete;
    if (d.db_state == database_state::uninitialised) {
        write_log("WARNING: called ma_deinit(%d) on unitialized database!\n", static_cast<int>(mode));
        return {deinit_status::not_initialised, {}};
    }
    deinit_result result;
    if (d.db_state == database_state::open) {
        // What is closed completely has no item on screen any more: the items deleted from
        // queue.txt meanwhile leave the queue too, instead of being written back.
        if (complete && !d.read_only)
            static_cast<void>(take_queue_file_edits(queue_edit_moment::window));
        // The weights go with the database, so that all three files are of one moment.
        const save_result saved = save_database(complete);
        if (saved.status == save_status::not_written)
            return {deinit_status::not_saved, saved.problem};
        if (saved.status == save_status::backup_failed)
            result = {deinit_status::backup_failed, saved.problem};
        if (complete) {
            save_sync_snapshot();
            free_contents();
        }
    }
    close_review_log();
    close_retention_control(data_path(review_log_name));
    release_lock();
    if (complete)
        free_categories();
    set_db_state(database_state::uninitialised);
    std::fflush(nullptr);
    return result;
}

void ma_discard()
{
    database& d = db();
    if (d.db_state == database_state::uninitialised)
        return;
    write_log("WARNING: the database in \"%s\" is closed without saving this session's changes\n",
        services().data_dir.c_str());
    close_review_log();
    close_retention_control(data_path(review_log_name));
    free_contents();
    release_lock();
    free_categories();
    set_db_state(database_state::uninitialised);
}

