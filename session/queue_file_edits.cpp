#include "session/queue_file_edits.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Header-only, as elsewhere in the library: no library to link.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "database/category_edits.h"
#include "database/database.h"
#include "formats/queue.h"
#include "services/log.h"
#include "services/paths.h"
#include "session/sync.h"
#include "session/undo.h"

namespace {

// What tells one version of the file from another without reading it: an editor's save changes
// the time, and usually the inode too.
struct file_identity {
    bool exists = false;  // false: no file at the path
    dev_t device = 0;  // st_dev
    ino_t inode = 0;  // st_ino
    off_t size = 0;  // st_size
    long long modified_ns = 0;  // st_mtim in nanoseconds
    bool operator==(const file_identity&) const = default;
};

struct remembered_file {
    std::string path;  // the queue.txt remembered; empty: none yet
    file_identity identity;  // as it was when remembered
    std::vector<uint64_t> items;  // the hash of each item it held, in no order: counted only once the file changes
};

remembered_file& remembered()
{
    static remembered_file state;
    return state;
}

file_identity identify(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {true, st.st_dev, st.st_ino, st.st_size, static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec};
}

// The file as it is now, when it is the one remembered and no longer as it was then.
std::optional<file_identity> changed_identity()
{
    const remembered_file& r = remembered();
    const std::string path = data_path("queue.txt");
    if (r.path != path)
        return std::nullopt;
    const file_identity now = identify(path);
    return now == r.identity ? std::nullopt : std::optional(now);
}

// An item as the file holds it: its category's path, its question and its answer. The path
// and not the index: reading the file again numbers new categories differently.
class item_hasher {
public:
    uint64_t operator()(const pending_item* p)
    {
        if (p->ctgr >= paths_.size())
            paths_.resize(p->ctgr + size_t{1}, 0);
        uint64_t& path = paths_[p->ctgr];
        if (path == 0) {
            std::string joined;
            for (const std::string& name : category_names_from_top(p->ctgr))
                joined.append(name).push_back('\x1f');
            path = XXH3_64bits(joined.data(), joined.size()) | 1;
        }
        const std::string_view q = p->question;
        const std::string_view a = p->answer;
        return XXH3_64bits_withSeed(a.data(), a.size(), XXH3_64bits_withSeed(q.data(), q.size(), path));
    }

private:
    std::vector<uint64_t> paths_;  // per category index; 0: not hashed yet
};

// Takes out of the queue, up to and including `last_before`, one item for each count left in
// `gone` (the remembered items the file no longer holds); the number taken out.
uint32_t drop_items_gone_from_file(std::unordered_map<uint64_t, uint32_t>& gone, const pending_item* last_before)
{
    if (!last_before || std::ranges::none_of(gone, [](const auto& left) { return left.second > 0; }))
        return 0;
    item_hasher hash;
    uint32_t removed = 0;
    bool past = false;  // beyond last_before: the items just added
    drop_pending_after(nullptr, [&](const pending_item* p) {
        if (past)
            return true;
        past = p == last_before;
        const auto it = gone.find(hash(p));
        if (it == gone.end() || it->second == 0)
            return true;
        --it->second;
        sync_note_queue_deleted(p);
        ++removed;
        return false;
    });
    if (removed > 0)
        forget_undo();  // its steps may name the queued items freed here
    return removed;
}

}  // namespace

void remember_queue_file()
{
    remembered_file& r = remembered();
    r.path = data_path("queue.txt");
    r.identity = identify(r.path);
    r.items.clear();
    r.items.reserve(pending_count());
    item_hasher hash;
    for (const pending_item* p = db().pending_head; p; p = p->next)
        r.items.push_back(hash(p));
}

bool queue_file_changed() { return changed_identity().has_value(); }

queue_file_edits take_queue_file_edits(queue_edit_moment moment)
{
    const std::optional<file_identity> now = changed_identity();
    if (!now)
        return {};
    remembered_file& r = remembered();
    database& d = db();
    pending_item* const last_before = d.pending_tail;
    const size_t categories_before = d.categories.size();
    const size_t kept_before = d.kept_queue.size();
    const uint32_t read = add_queue_from_file(r.path.c_str(), 0);

    // The file's items that it held when remembered go again, one for each time it held them;
    // the counts left over are the items it no longer holds.
    std::unordered_map<uint64_t, uint32_t> held_then;
    for (const uint64_t h : r.items)
        ++held_then[h];
    std::vector<uint64_t> now_held;
    now_held.reserve(r.items.size() + read);
    item_hasher hash;
    queue_file_edits edits;
    drop_pending_after(last_before, [&](const pending_item* p) {
        const uint64_t h = hash(p);
        now_held.push_back(h);
        if (const auto it = held_then.find(h); it != held_then.end() && it->second > 0) {
            --it->second;
            return false;
        }
        ++edits.added;
        return true;
    });
    // The texts the reader could not take were kept at the start already, and are written back.
    std::vector<kept_queue_text>& kept = d.kept_queue;
    for (size_t k = kept.size(); k-- > kept_before;) {
        const auto same = [&](const kept_queue_text& t) {
            return t.ctgr == kept[k].ctgr && t.lines == kept[k].lines && t.unterminated == kept[k].unterminated;
        };
        if (std::any_of(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(kept_before), same))
            kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(k));
    }
    // A category made again for items already taken (renamed here since) is left empty: it goes.
    for (size_t c = d.categories.size(); c-- > categories_before;)
        if (items_within_category(static_cast<uint16_t>(c)) == 0)
            static_cast<void>(delete_category(static_cast<uint16_t>(c)));

    if (moment == queue_edit_moment::window)
        edits.removed = drop_items_gone_from_file(held_then, last_before);

    r.items = std::move(now_held);
    r.identity = *now;
    if (edits.added > 0) {
        write_log("INFO: %u items added to %s while the program ran were taken into the queue\n", edits.added, r.path.c_str());
        // Items not recorded now are found unknown, and recorded, when syncing starts next.
        if (moment == queue_edit_moment::window)
            sync_note_import("queue.txt", edits.added);
    }
    if (edits.removed > 0)
        write_log("INFO: %u items deleted from %s while the program ran were taken out of the queue\n", edits.removed, r.path.c_str());
    return edits;
}
