// Saving what syncing applied: at start, when the folder is left, and with the backups.
#include "session/sync_apply.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "database/backups.h"
#include "platform/files.h"
#include "services/log.h"
#include "services/services_state.h"
#include "session/lifecycle.h"
#include "session/saving.h"
#include "session/sync_state.h"

void save_applied(const sync_summary& s)
{
    if ((s.changed() || s.adopted > 0) && !db().read_only)
        static_cast<void>(save_database(true, false));
}

void sync_leave()
{
    // What the service took from the log since the last append goes back while this computer
    // still holds it; after the leave only the others' fallback to a snapshot would be left.
    if (sync_g().active && !sync_g().away && sync_g().writer)
        static_cast<void>(sync_g().writer->make_whole());
    if (sync_active() && db().db_state == database_state::open && !db().read_only)
        static_cast<void>(save_database(true, false));
    sync_close();
}

namespace {

std::string state_beside(const std::string& backup_path)
{
    return backup_path.substr(0, backup_path.size() - std::strlen(".bin")) + ".sync";
}

}  // namespace

void keep_sync_state_beside_backup()
{
    const std::string dir = services().data_dir;
    const std::vector<backup_file> backups = list_backups(dir);
    if (backups.empty())
        return;
    if (const std::error_code error = copy_file_durable(dir + sync_state_name, state_beside(backups.front().path)))
        write_log("WARNING: cannot keep \"%s\" with the backup: %s\n", sync_state_name, error.message().c_str());
    // Those of the backups that rotation removed go with them.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir + backups_folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("elements-") && name.ends_with(".sync")
            && !std::filesystem::exists(entry.path().parent_path() / (name.substr(0, name.size() - 5) + ".bin"), error))
            static_cast<void>(unlink_file(entry.path().c_str()));
    }
}

void take_sync_state_of_backup(const std::string& backup_path)
{
    const std::string state = state_beside(backup_path);
    // A backup made before syncing began has none: the current state binds what it can.
    if (::access(state.c_str(), F_OK) != 0)
        return;
    if (const std::error_code error = copy_file_durable(state, services().data_dir + sync_state_name))
        write_log("WARNING: cannot restore \"%s\" with the backup: %s\n", sync_state_name, error.message().c_str());
}

void sync_reopen()
{
    const std::string folder = sync_g().folder;
    const uint64_t me = sync_g().me;
    sync_summary ignored;
    static_cast<void>(sync_open(folder, me, &ignored));
}
