#include "session/saving.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "database/backups.h"
#include "database/binfile.h"
#include "session/choose.h"
#include "session/first_day.h"
#include "session/review_log.h"
#include "session/sync.h"
#include "session/sync_apply.h"
#include "session/sync_outbox.h"
#include "session/sync_state.h"
#include "session/undo.h"
#include "database/database.h"
#include "services/log.h"
#include "session/lifecycle.h"
#include "session/queue_file_edits.h"
#include "formats/queue.h"
#include "platform/file_commit.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "services/services_state.h"

namespace {

constexpr char bin_name[] = "elements.bin";
constexpr char queue_name[] = "queue.txt";
constexpr char weights_name[] = "weights.bin";
constexpr char cases_name[] = "user_cases.bin";

save_result failed(save_status status, const std::string& path, save_obstacle obstacle, int os_error = 0)
{
    return {status, {path, obstacle, os_error}};
}

// Writes the files into `dir` as one commit; not_written, with its reason, when nothing could
// be changed.
save_result commit_files(const std::string& dir, bool with_weights, file_digest* bin_digest = nullptr,
    const extra_file* extra = nullptr)
{
    const bool own = dir == services().data_dir;
    // Items the user added to queue.txt meanwhile would be overwritten.
    if (own)
        static_cast<void>(take_queue_file_edits(queue_edit_moment::save));
    order_categories();
    file_commit commit(dir);
    if (extra) {
        FILE* file = commit.add(extra->name);
        if (!file || !extra->write(file))
            return failed(save_status::not_written, dir + extra->name, save_obstacle::system, errno != 0 ? errno : EIO);
    }
    if (FILE* bin = commit.add(bin_name))
        write_bin_stream(bin, bin_digest);
    if (FILE* queue = commit.add(queue_name))
        write_queue(queue);
    if (with_weights && ann_globals().ann_initialised) {
        if (FILE* weights = commit.add(weights_name))
            write_weights(weights);
    }
    // Which items are which elsewhere, and how far the other computers' logs are applied,
    // hold only for the database they are saved with.
    if (sync_active() && own) {
        if (FILE* state = commit.add(sync_state_name))
            write_sync_state(state);
        if (sync_outbox_in_commit())
            if (FILE* kept = commit.add(sync_outbox_name))
                write_kept_changes(kept);
    }
    const commit_status status = commit.commit();
    if (status == commit_status::not_written || status == commit_status::unfinished) {
        const int error = commit.failed_error();
        const char* reason = std::strerror(error);
        if (commit.failed_path() == dir + weights_name)
            write_log("ERROR: cannot save ANN weights! (a problem with %s file?)\n", commit.failed_path().c_str());
        write_log("ERROR: cannot save the database: \"%s\": %s\n", commit.failed_path().c_str(), reason);
        return failed(save_status::not_written, commit.failed_path(), save_obstacle::system, error);
    }
    if (own)
        remember_queue_file();
    if (sync_active() && own)
        sync_outbox_committed();
    if (status == commit_status::not_durable)
        write_log("WARNING: the database was saved in \"%s\", but the folder could not be synced to the disk: "
                  "%s\n",
            dir.c_str(), std::strerror(commit.failed_error() != 0 ? commit.failed_error() : EIO));
    return {};
}

}  // namespace

save_result save_database(bool with_weights, bool with_backup, file_digest* written_out)
{
    const database& d = db();
    const std::string bin_path = services().data_dir + bin_name;
    if (d.read_only)
        return failed(save_status::not_written, services().data_dir, save_obstacle::read_only_directory);
    // The file refused at opening may be the user's only copy of the database.
    if (d.bin_refused && !keep_refused_file(bin_path)) {
        write_log("ERROR: cannot keep a copy of the unreadable \"%s\"; it is not overwritten\n", bin_path.c_str());
        return failed(save_status::not_written, bin_path, save_obstacle::refused_file_not_kept);
    }
    file_digest written;
    if (save_result committed = commit_files(services().data_dir, with_weights, &written);
        committed.status != save_status::done)
        return committed;
    // The disk took the database: the grades that found it full may fit now. Those that still
    // do not wait on, as before.
    static_cast<void>(append_held_reviews());
    if (written_out)
        *written_out = written;
    if (!with_backup)
        return {};
    if (const backup_result backup = keep_backup(bin_path, &written); backup.error)
        return failed(save_status::backup_failed, backup.failed_path, save_obstacle::system, backup.error.value());
    if (sync_active())
        keep_sync_state_beside_backup();
    return {};
}

save_result save_database_with(const extra_file& extra)
{
    const database& d = db();
    if (d.read_only)
        return failed(save_status::not_written, services().data_dir, save_obstacle::read_only_directory);
    // A refused elements.bin is kept aside by the next full save, not overwritten here.
    if (d.bin_refused)
        return failed(save_status::not_written, services().data_dir + bin_name, save_obstacle::refused_file_not_kept);
    return commit_files(services().data_dir, false, nullptr, &extra);
}

save_result save_database_copy(const std::string& dir)
{
    if (::access((dir + bin_name).c_str(), F_OK) == 0)
        return failed(save_status::target_holds_database, dir + bin_name, save_obstacle::holds_database);
    if (save_result committed = commit_files(dir, true); committed.status != save_status::done)
        return committed;
    // The cases are the network's memory of the user's grades; without them the copy would learn anew.
    const std::string cases = services().data_dir + cases_name;
    if (::access(cases.c_str(), F_OK) == 0) {
        if (const std::error_code error = copy_file_durable(cases, dir + cases_name))
            return failed(save_status::not_written, dir + cases_name, save_obstacle::system, error.value());
    }
    return {};
}

restore_result restore_backup(const std::string& backup_path)
{
    database& d = db();
    if (d.db_state != database_state::open)
        return {restore_status::not_open, {}};
    bin_summary summary;
    if (!inspect_bin(backup_path.c_str(), &summary))
        return {restore_status::not_readable, {}};
    // The state being left is itself kept as a backup, so that a restore can be undone; an
    // empty one (started because the file could not be read, say) would only push the good
    // backups down the list.
    if (const save_result saved = save_database(false, d.item_count > 0); saved.status != save_status::done)
        return {restore_status::current_not_saved, saved.problem};
    const std::string bin_path = services().data_dir + bin_name;
    const uint32_t log_start = d.time_of_start;  // what reviews.log's days count from
    // The sync state saved with the backup goes first: a crash between the two copies then
    // leaves positions behind the database, whose records apply again harmlessly.
    if (sync_active())
        take_sync_state_of_backup(backup_path);
    if (const std::error_code error = copy_file_durable(backup_path, bin_path))
        return {restore_status::not_written, {bin_path, save_obstacle::system, error.value()}};
    write_log("INFO: the backup \"%s\" was restored\n", backup_path.c_str());
    // Reopened as at start: the queue file was just saved, so its items find their categories
    // by name in the restored table.
    insert_scheduled(nullptr);
    choose_next_item(nullptr, -1);
    forget_undo();  // its steps point at the records freed here
    erase_memory_after_ll();
    d.item_count = 0;
    free_pending_list();
    free_categories();
    create_category_table();
    if (load_bin(bin_path.c_str()) != bin_load_status::done) {
        // Checked above, so only a disk failing now gets here; nothing is overwritten unread.
        d.bin_refused = true;
    }
    if (category_count() == 0)
        create_root_category();
    load_queue();
    remember_queue_file();
    // A backup from before the first day moved back (a sync folder joined since) counts its days
    // from a later day than reviews.log: the statistics would date every grade late.
    if (const uint16_t log_day = day_shift_at(log_start), restored = day_shift(); restored > log_day)
        static_cast<void>(move_first_day_back(log_start, static_cast<uint16_t>(restored - log_day), logged_days::kept));
    if (sync_active())
        sync_reopen();
    return {};
}

std::string save_rescue_copy(const std::vector<std::string>& dirs)
{
    SYSTEMTIME now{};
    get_local_time(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", int{now.wYear}, int{now.wMonth},
        int{now.wDay}, int{now.wHour}, int{now.wMinute}, int{now.wSecond});
    order_categories();
    for (std::string dir : dirs) {
        if (dir.empty())
            continue;
        if (dir.back() != '/')
            dir.push_back('/');
        // An earlier rescue of the same second is never overwritten.
        std::string path = dir + "elements.rescue-" + stamp + ".bin";
        for (int n = 2; ::access(path.c_str(), F_OK) == 0 && n < 1000; ++n)
            path = dir + "elements.rescue-" + stamp + "-" + std::to_string(n) + ".bin";
        atomic_file file(path);
        if (file.stream() && write_bin_stream(file.stream()) && file.commit()) {
            write_log("WARNING: the database could not be saved; a rescue copy of it was written to \"%s\"\n",
                path.c_str());
            return path;
        }
        file.discard();
        write_log("ERROR: cannot write a rescue copy of the database to \"%s\": %s\n", path.c_str(),
            std::strerror(file.error() != 0 ? file.error() : EIO));
    }
    return {};
}

void remove_rescue_copy(const std::string& path)
{
    if (path.empty())
        return;
    if (const std::error_code error = unlink_file(path.c_str()); error && error != std::errc::no_such_file_or_directory)
        write_log("WARNING: cannot remove the rescue copy \"%s\": %s\n", path.c_str(), error.message().c_str());
    else
        write_log("INFO: the database was saved; the rescue copy \"%s\" was removed\n", path.c_str());
}
