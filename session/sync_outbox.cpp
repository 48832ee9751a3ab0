#include "session/sync_outbox.h"

#include <cerrno>

#include "platform/files.h"
#include "services/log.h"
#include "services/services_state.h"
#include "session/sync_state.h"

namespace {

std::string outbox_path() { return services().data_dir + sync_outbox_name; }

// Equal but for the numbering, which the log gives; its stamp is raised only where the log
// holds a later one.
bool same_change(const change_record& sent, const change_record& kept)
{
    change_record a = sent;
    a.sequence = kept.sequence;
    a.stamp = kept.stamp;
    return a == kept && sent.stamp >= kept.stamp;
}

}  // namespace

void load_kept_changes(const std::string& own_log)
{
    sync_globals& g = sync_g();
    g.kept.clear();
    std::string bytes;
    if (!read_change_log_file(outbox_path(), 0, &bytes)) {
        g.kept_on_disk = false;
        if (errno != ENOENT)
            write_log("WARNING: the changes kept for the sync folder cannot be read: \"%s\"\n", outbox_path().c_str());
        return;
    }
    g.kept_on_disk = true;
    change_log_read read = read_change_log(bytes);
    // The file is written whole in a commit: anything short of that is damage.
    if (read.status != change_log_status::ok || read.end != bytes.size())
        write_log("WARNING: the changes kept for the sync folder are damaged; %zu of them were read: \"%s\"\n",
            read.records.size(), outbox_path().c_str());
    g.kept = std::move(read.records);
    for (const change_record& r : g.kept)
        g.latest_stamp = std::max(g.latest_stamp, r.stamp);
    // They were appended in order after the records the saved database holds.
    size_t sent = 0;
    for (const change_record& r : read_change_log(own_log).records)
        if (r.sequence > g.own_applied && sent < g.kept.size() && same_change(r, g.kept[sent]))
            ++sent;
    g.kept.erase(g.kept.begin(), g.kept.begin() + static_cast<std::ptrdiff_t>(sent));
}

bool send_kept_changes(bool held)
{
    sync_globals& g = sync_g();
    size_t sent = 0;
    for (; sent < g.kept.size(); ++sent) {
        change_record r = g.kept[sent];
        const change_append_result res = g.writer->append(r, r.stamp);
        if (res.status != change_append_status::appended && res.status != change_append_status::cannot_sync)
            break;
        if (held)
            g.own_applied = res.sequence;
        g.latest_stamp = std::max(g.latest_stamp, r.stamp);
    }
    g.kept.erase(g.kept.begin(), g.kept.begin() + static_cast<std::ptrdiff_t>(sent));
    if (sent > 0)
        g.told.clear();  // the log takes records again: a failure after this is news
    return g.kept.empty();
}

bool sync_outbox_in_commit() { return !sync_g().kept.empty() || sync_g().kept_on_disk; }

bool write_kept_changes(FILE* out)
{
    const sync_globals& g = sync_g();
    std::string bytes = change_log_header(g.me);
    for (const change_record& r : g.kept)
        bytes += encode_change(r);
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

void sync_outbox_committed()
{
    sync_globals& g = sync_g();
    if (!g.kept.empty()) {
        g.kept_on_disk = true;
        return;
    }
    // Emptied by the commit first: a crash before it goes leaves nothing to send twice.
    if (!g.kept_on_disk)
        return;
    if (const std::error_code error = unlink_file(outbox_path().c_str());
        !error || error == std::errc::no_such_file_or_directory)
        g.kept_on_disk = false;
}
