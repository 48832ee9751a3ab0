#include "session/sync_apply_categories.h"

#include <optional>
#include <vector>

#include "database/category_edits.h"
#include "session/sync_deletions.h"
#include "session/sync_paths.h"

namespace {

// Puts what category `from` holds into `into`, a sub-category into the one of its name there
// where there is one (the same, recursively), else under `into` as it is.
void merge_contents(uint16_t from, uint16_t into)
{
    database& d = db();
    for (item* e = d.head; e; e = e->next)
        e->ctgr = e->ctgr == from ? into : e->ctgr;
    for (pending_item* p = d.pending_head; p; p = p->next)
        p->ctgr = p->ctgr == from ? into : p->ctgr;
    for (kept_queue_text& k : d.kept_queue)
        k.ctgr = k.ctgr == from ? into : k.ctgr;
    for (uint16_t k = 0; k < category_count(); ++k) {
        category* child = ::category_at(k);
        if (k == from || child->parent != from)
            continue;
        // A top-level category is found under itself: a sub-category of its name is not it.
        if (const int32_t same = category_named(child->name, into); same >= 0 && same != into) {
            merge_contents(k, static_cast<uint16_t>(same));
        } else {
            child->parent = into;
            category_table_changed();
        }
    }
}

// Merges category `from` into `into` and removes it.
void merge_category(uint16_t from, uint16_t into, sync_summary& s)
{
    merge_contents(from, into);
    category_removal removal = delete_category(from);
    if (removal.result == category_edit::done)
        s.renumberings.push_back(std::move(removal.new_index));
}

// Remembers a rename of `from`, now at `to`: later records name it by its old path, and a rename
// counts as making its new path.
void note_rename(const std::vector<std::string>& from, const std::vector<std::string>& to, field_version v)
{
    note_rename_away(from, to, v);
    note_category_renamed(from, to);
    note_category_made(to, v);
}

// A rename whose category is not here: its making has not arrived yet, or it was deleted
// here. The new path is made, as the renaming computer holds it (a category that left that name
// before is another one), and the remembered deletions follow the rename, so that it stays or
// goes by the same stamps everywhere.
record_outcome rename_missing_category(const change_record& r, const std::vector<std::string>& to, field_version v,
    sync_summary& s)
{
    const std::optional<uint16_t> made = made_category(to, v);
    if (!made)
        return record_conflict(s, "the category \"" + joined_path(r.path) + "\" could not be renamed \"" + r.text + "\"");
    note_rename(r.path, category_names_from_top(*made), v);
    return record_outcome::applied;
}

// A category that came to a path after a rename of that path arrived (the category above it was
// renamed or merged later, or it was renamed to a name whose later rename arrived first) takes
// the rename, as on the computers that had them in order; one made at the path after the rename
// is another category and stays.
void take_pending_renames(sync_summary& s)
{
    const sync_globals& g = sync_g();
    size_t taken = 0;
    for (uint16_t c = 1; c < category_count() && taken <= g.renamed.size(); ++c) {
        const std::vector<std::string> path = category_names_from_top(c);
        // The rename that takes it is the first after its making.
        const auto made = g.made.find(path);
        const std::vector<std::string>* rename = rename_of(path, made == g.made.end() ? nullptr : &made->second);
        if (!rename)
            continue;
        const auto renaming = g.made.find(*rename);
        if (renaming == g.made.end() || (made != g.made.end() && !(made->second <= renaming->second)))
            continue;
        const std::vector<std::string> to = *rename;
        if (const std::optional<uint16_t> there = category_following_renames(to, false); there && *there != c) {
            merge_category(c, *there, s);
        } else if (std::equal(path.begin(), path.end() - 1, to.begin(), to.end() - 1)) {
            if (rename_category(c, to.back()) != category_edit::done)
                continue;
            note_category_renamed(path, to);
        } else {
            continue;
        }
        ++taken;
        c = 0;  // the indexes and paths moved
    }
}

// The first rename away from `path` by a change later than `v`.
std::optional<rename_away> rename_after(const std::vector<std::string>& path, field_version v)
{
    const auto it = sync_g().renamed.find(path);
    if (it != sync_g().renamed.end())
        for (const rename_away& r : it->second)
            if (!(r.v <= v))
                return r;
    return std::nullopt;
}

// A losing rename's new name `to` went to a category here already: one that a change made after
// the rename (of version `v`), or that a later rename of the new name made when it arrived first.
// It and category `c`, named `now` by a change of version `now_v`, are one, under the later name.
void unite_losing_name(uint16_t c, const std::vector<std::string>& now, field_version now_v,
    const std::vector<std::string>& to, field_version v, sync_summary& s)
{
    const std::optional<uint16_t> there = category_following_renames(to, false);
    const std::vector<std::string> there_path = there ? category_names_from_top(*there) : to;
    const auto there_v = sync_g().made.find(there_path);
    // A category that a rename earlier than this one took away from the name is another one.
    const bool left_before = there && there_path != to && (there_v == sync_g().made.end() || there_v->second <= v);
    // The losing name was left when the later rename came, and a name merged away when the
    // category it merged into took its name.
    if (!there || *there == c || left_before) {
        note_rename_away(to, now, now_v);
        return;
    }
    if (there_v != sync_g().made.end() && !(there_v->second <= now_v)) {
        merge_category(c, *there, s);
        note_rename_away(now, there_path, there_v->second);
        note_category_renamed(now, there_path);
        return;
    }
    merge_category(*there, c, s);
    note_rename_away(to, now, now_v);
    note_rename_away(there_path, now, now_v);
    note_category_renamed(there_path, now);
}

record_outcome apply_category_rename(const change_record& r, field_version v, sync_summary& s)
{
    if (r.path.empty())
        return record_conflict(s, "a category rename to \"" + r.text + "\" named no category");
    std::vector<std::string> to = r.path;
    to.back() = r.text;
    const std::optional<uint16_t> c = category_following_renames(r.path, false, &v);
    if (!c) {
        // A later rename of the path stands, also where its category was deleted here since, as
        // on the computers that had this one before the deletion: this one's new name leads there.
        if (const std::optional<rename_away> later = rename_after(r.path, v)) {
            note_rename_away(to, later->to, later->v);
            return record_conflict(s, "the category \"" + joined_path(r.path) + "\" renamed \"" + r.text
                    + "\" elsewhere was renamed \"" + joined_path(later->to) + "\" later");
        }
        return rename_missing_category(r, to, v, s);
    }
    // The category's name here, where a rename made here or applied before took it: the changes
    // that name it so go where this rename takes it too.
    const std::vector<std::string> now = category_names_from_top(*c);
    if (now != r.path) {
        // Renamed meanwhile by a later change: that name stands, and what the losing rename's
        // computer put under its name follows to it. The losing name is taken beside the
        // category where it is now, for the category above it may have been renamed since: a
        // change under the losing name below the new name above must find it too.
        const auto later = sync_g().made.find(now);
        if (later != sync_g().made.end() && !(later->second <= v)) {
            std::vector<std::string> lost = now;
            lost.back() = r.text;
            if (lost != now)
                unite_losing_name(*c, now, later->second, lost, v, s);
            const std::optional<uint16_t> end = category_following_renames(lost, false);
            return record_conflict(s, "the category \"" + joined_path(r.path) + "\" renamed \"" + r.text
                    + "\" elsewhere was renamed later; it is \"" + joined_path(end ? category_names_from_top(*end) : now) + "\"");
        }
    }
    const auto renamed_to = [&](const std::vector<std::string>& path) {
        note_rename(r.path, path, v);
        if (now != r.path)
            note_rename(now, path, v);
        return record_outcome::applied;
    };
    const category_edit renamed = rename_category(*c, r.text);
    if (renamed == category_edit::name_taken) {
        // A change that came after the rename elsewhere made the new path here before the
        // rename arrived: the two are one category, as on the computers that had the rename first.
        const int32_t parent = ::category_at(*c)->parent == *c ? -1 : ::category_at(*c)->parent;
        const auto into = static_cast<uint16_t>(category_named(r.text, parent));
        const std::vector<std::string> path = category_names_from_top(into);
        merge_category(*c, into, s);
        return renamed_to(path);
    }
    if (renamed != category_edit::done)
        return record_conflict(s, "the category \"" + joined_path(r.path) + "\" could not be renamed \"" + r.text + "\"");
    return renamed_to(category_names_from_top(*c));
}

record_outcome apply_category_delete(const change_record& r, field_version v, sync_summary& s)
{
    const std::optional<uint16_t> c = category_following_renames(r.path, false, &v);
    const std::vector<std::string> path = c ? category_names_from_top(*c) : r.path;
    note_category_deleted(path, v);
    drop_deleted_categories(s);
    const std::optional<uint16_t> left = category_of_path(path, false);
    if (!left)
        return record_outcome::applied;
    return record_conflict(s, "the category \"" + joined_path(r.path) + "\" deleted elsewhere holds "
            + (items_within_category(*left) > 0 ? "items here" : "categories made later") + "; it stays");
}

}  // namespace

record_outcome apply_category_record(const change_record& r, field_version v, sync_summary& s)
{
    switch (r.kind) {
    case change_kind::category_make: {
        const std::optional<uint16_t> c = made_category(r.path, v);
        if (!c)
            return record_conflict(s, "the category \"" + joined_path(r.path) + "\" could not be made: the table is full");
        note_category_made(category_names_from_top(*c), v);
        return record_outcome::applied;
    }
    case change_kind::category_rename: {
        const record_outcome o = apply_category_rename(r, v, s);
        take_pending_renames(s);
        return o;
    }
    case change_kind::category_delete:
        return apply_category_delete(r, v, s);
    default:
        return record_outcome::applied;
    }
}
