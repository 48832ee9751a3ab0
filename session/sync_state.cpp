#include "session/sync_state.h"

#include <array>
#include <cerrno>
#include <cinttypes>
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "calendar/calendar.h"
#include "database/database.h"
#include "formats/le_fields.h"
#include "platform/files.h"
#include "services/log.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr char state_magic[8] = {'C', 'W', 'S', 'Y', 'N', 'C', 'S', 'T'};
// 1: without made categories and losing edits; 2: without deleted categories; 3: without the
// renames' versions, one rename a path; 4: without the schedules' and categories' prints; 5:
// without the copies' second keys; 6: without the print of this computer's last applied record
constexpr uint16_t state_version = 7;

void put_marks(std::string& out, const item_marks& m)
{
    put_le(out, m.key.computer, 8);
    put_le(out, m.key.number, 8);
    for (const field_version* v : {&m.schedule, &m.texts, &m.place}) {
        put_le(out, v->stamp, 8);
        put_le(out, v->computer, 8);
    }
}

class state_reader : public le_reader {
public:
    using le_reader::le_reader;
    item_marks marks(bool queued, uint64_t version)
    {
        item_marks m;
        m.queued = queued;
        m.key.computer = number(8);
        m.key.number = number(8);
        for (field_version* v : {&m.schedule, &m.texts, &m.place}) {
            v->stamp = number(8);
            v->computer = number(8);
        }
        if (version >= 5) {
            m.printed = true;
            m.schedule_print = queued ? 0 : static_cast<uint32_t>(number(4));
            m.place_print = static_cast<uint32_t>(number(4));
        }
        return m;
    }
};

int64_t days_from_civil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// What tells an item from the others in the saved list: items made in the same second share
// an id, seldom their texts as well.
uint64_t fingerprint(std::string_view question, std::string_view answer, uint32_t id)
{
    std::string texts(question);
    texts += '\0';
    texts += answer;
    return XXH64(texts.data(), texts.size(), id);
}
uint64_t fingerprint(const item& e) { return fingerprint(e.question, e.answer, e.id); }
// The queue file is written category by category, so its items come back in another order.
uint64_t fingerprint(const pending_item& p) { return fingerprint(p.question, p.answer, 0); }

}  // namespace

uint32_t schedule_print(const item& e)
{
    // Saved for every item at every save: no allocation.
    const item_schedule s = schedule_of(e);
    std::array<unsigned char, 16> bytes{};
    size_t at = 0;
    const auto put = [&](uint32_t value, size_t width) {
        for (size_t i = 0; i < width; ++i)
            bytes[at++] = static_cast<unsigned char>(value >> (8 * i));
    };
    put(s.id, 4);
    for (const uint16_t day : {s.due, s.interval_end, s.interval, s.last_interval, s.real_last_interval})
        put(day, 2);
    put(s.repetitions, 1);
    put(s.grade, 1);
    return XXH32(bytes.data(), bytes.size(), 0);
}

std::vector<uint32_t> place_prints()
{
    std::vector<uint32_t> prints;
    for (uint16_t c = 0; c < category_count(); ++c) {
        std::string names;
        for (const std::string& name : category_names_from_top(c)) {
            names += name;
            names += '\0';
        }
        prints.push_back(XXH32(names.data(), names.size(), 0));
    }
    return prints;
}

namespace {

// Marks by fingerprint, each fingerprint's in the saved order: a record takes the first
// unused marks of its fingerprint, so that records read back in another order find their own.
class marks_by_print {
public:
    void add(uint64_t print, const item_marks& m) { saved_[print].push_back(m); }
    template <typename Record>
    void bind(Record* x)
    {
        const uint64_t print = fingerprint(*x);
        const auto it = saved_.find(print);
        if (it == saved_.end() || used_[print] >= it->second.size())
            return;
        const item_marks& m = it->second[used_[print]++];
        if (m.key.computer != 0)
            bind_record(x, m);
    }
    // The marks that no record took.
    void unused(std::vector<item_marks>& out) const
    {
        for (const auto& [print, marks] : saved_) {
            const auto used = used_.find(print);
            for (size_t i = used == used_.end() ? 0 : used->second; i < marks.size(); ++i)
                if (marks[i].key.computer != 0)
                    out.push_back(marks[i]);
        }
    }

private:
    std::map<uint64_t, std::vector<item_marks>> saved_;
    std::map<uint64_t, size_t> used_;
};

// The state says what the database holds, whichever id wrote it: a data directory copied to
// another machine, or one home shared by two, goes on under this computer's id. The records of
// the id that wrote it are another computer's now, held as far as they were its own; this
// computer's own are held as far as that one had applied them. Returns the latter.
uint64_t take_over_positions(uint64_t writer, uint64_t writer_own, const std::string& path)
{
    const sync_globals& g = sync_g();
    std::map<uint64_t, uint64_t> positions = g.inbox->positions();
    const auto mine = positions.find(g.me);
    const uint64_t own = mine == positions.end() ? 0 : mine->second;
    if (mine != positions.end())
        positions.erase(mine);
    if (writer_own > 0)
        positions[writer] = writer_own;
    static_cast<void>(g.inbox->read_positions(""));
    for (const auto& [computer, sequence] : positions)
        g.inbox->applied(computer, sequence);
    write_log("INFO: \"%s\" was written as computer %016" PRIx64 "; taken over as %016" PRIx64 "\n", path.c_str(),
        writer, g.me);
    return own;
}

}  // namespace

sync_globals& sync_g()
{
    static sync_globals g;
    return g;
}

void bind_record(const void* record, const item_marks& marks)
{
    sync_globals& g = sync_g();
    g.marks[record] = marks;
    g.records[marks.key] = record;
}

void unbind_record(const void* record)
{
    sync_globals& g = sync_g();
    const auto it = g.marks.find(record);
    if (it == g.marks.end())
        return;
    g.records.erase(it->second.key);
    g.marks.erase(it);
}

item_marks* marks_of(const void* record)
{
    const auto it = sync_g().marks.find(record);
    return it == sync_g().marks.end() ? nullptr : &it->second;
}

field_version making_version(const change_record& r, uint64_t writer)
{
    const uint64_t graded = static_cast<uint16_t>(r.schedule.due - r.schedule.interval) * 86'400'000ULL;
    return {std::min(r.stamp, graded), writer};
}

item_marks making_marks(const change_record& r, uint64_t writer)
{
    item_marks m;
    m.key = r.item;
    m.queued = r.kind == change_kind::queue_add;
    m.schedule = m.texts = m.place = {r.stamp, writer};
    if (!m.queued)
        m.schedule = making_version(r, writer);
    return m;
}

const void* record_with(const item_key& key)
{
    const sync_globals& g = sync_g();
    auto it = g.records.find(key);
    if (it == g.records.end())
        if (const auto same = g.same_as.find(key); same != g.same_as.end())
            it = g.records.find(same->second);
    return it == g.records.end() ? nullptr : it->second;
}

void note_category_made(const std::vector<std::string>& path, field_version v)
{
    field_version& known = sync_g().made[path];
    if (known <= v)
        known = v;
}

void note_category_deleted(const std::vector<std::string>& path, field_version v)
{
    field_version& known = sync_g().deleted[path];
    if (known <= v)
        known = v;
}

void note_rename_away(const std::vector<std::string>& from, const std::vector<std::string>& to, field_version v)
{
    std::vector<rename_away>& renames = sync_g().renamed[from];
    // Another rename of the same version is the same change, told again.
    std::erase_if(renames, [&](const rename_away& r) { return r.v == v; });
    const auto at = std::ranges::find_if(renames, [&](const rename_away& r) { return !(r.v <= v); });
    renames.insert(at, rename_away{to, v});
}

const std::vector<std::string>* rename_of(const std::vector<std::string>& from, const field_version* v)
{
    const auto it = sync_g().renamed.find(from);
    if (it == sync_g().renamed.end() || it->second.empty())
        return nullptr;
    if (v)
        for (const rename_away& r : it->second)
            if (!(r.v <= *v))
                return &r.to;
    return &it->second.back().to;
}

namespace {

void move_paths(std::map<std::vector<std::string>, field_version>& paths, const std::vector<std::string>& from,
    const std::vector<std::string>& to, void (*note)(const std::vector<std::string>&, field_version))
{
    std::vector<std::pair<std::vector<std::string>, field_version>> moved;
    for (auto it = paths.lower_bound(from); it != paths.end() && it->first.size() >= from.size()
         && std::equal(from.begin(), from.end(), it->first.begin());) {
        std::vector<std::string> path = to;
        path.insert(path.end(), it->first.begin() + static_cast<long>(from.size()), it->first.end());
        moved.emplace_back(std::move(path), it->second);
        it = paths.erase(it);
    }
    for (const auto& [path, v] : moved)
        note(path, v);
}

}  // namespace

void note_category_renamed(const std::vector<std::string>& from, const std::vector<std::string>& to)
{
    move_paths(sync_g().made, from, to, note_category_made);
    move_paths(sync_g().deleted, from, to, note_category_deleted);
    // The renames below it are found by its new path, and lead there: a change made after both
    // names the category below by that.
    auto& renamed = sync_g().renamed;
    std::vector<std::pair<std::vector<std::string>, std::vector<rename_away>>> below;
    for (auto it = renamed.upper_bound(from); it != renamed.end() && it->first.size() > from.size()
         && std::equal(from.begin(), from.end(), it->first.begin());) {
        std::vector<std::string> path = to;
        path.insert(path.end(), it->first.begin() + static_cast<long>(from.size()), it->first.end());
        below.emplace_back(std::move(path), std::move(it->second));
        it = renamed.erase(it);
    }
    for (auto& [path, ends] : below)
        renamed.try_emplace(std::move(path), std::move(ends));
    for (auto& [path, ends] : renamed)
        for (rename_away& r : ends)
            if (r.to.size() > from.size() && std::equal(from.begin(), from.end(), r.to.begin())) {
                std::vector<std::string> moved = to;
                moved.insert(moved.end(), r.to.begin() + static_cast<long>(from.size()), r.to.end());
                r.to = std::move(moved);
            }
}

uint16_t day_shift() { return day_shift_at(db().time_of_start); }

uint16_t day_shift_at(uint32_t time_of_start)
{
    const calendar_time t = *local_time(&time_of_start);
    return static_cast<uint16_t>(days_from_civil(t.tm_year + 1900, static_cast<unsigned>(t.tm_mon + 1),
        static_cast<unsigned>(t.tm_mday)));
}

item_schedule schedule_of(const item& e)
{
    const auto to_record_day = [](uint16_t local) { return static_cast<uint16_t>(local + day_shift()); };
    item_schedule s;
    s.id = e.id;
    s.due = to_record_day(e.tmtrpt);
    s.interval_end = to_record_day(e.stmtrpt);
    s.interval = e.ivl;
    s.last_interval = e.livl;
    s.real_last_interval = e.rllivl;
    s.repetitions = static_cast<uint8_t>(e.rp);
    s.grade = static_cast<uint8_t>(e.gr);
    return s;
}

bool write_state_file(FILE* out)
{
    const sync_globals& g = sync_g();
    std::string bytes(state_magic, sizeof state_magic);
    put_le(bytes, state_version, 2);
    put_le(bytes, 0, 2);
    put_le(bytes, g.me, 8);
    put_le(bytes, g.own_applied, 8);
    const std::string positions = g.inbox ? g.inbox->positions_text() : std::string();
    put_le(bytes, positions.size(), 4);
    bytes += positions;
    size_t renames = 0;
    for (const auto& [from, ends] : g.renamed)
        renames += ends.size();
    put_le(bytes, renames, 4);
    for (const auto& [from, ends] : g.renamed)
        for (const rename_away& r : ends) {
            for (const auto* path : {&from, &r.to}) {
                put_le(bytes, path->size(), 2);
                for (const std::string& name : *path) {
                    put_le(bytes, name.size(), 2);
                    bytes += name;
                }
            }
            put_le(bytes, r.v.stamp, 8);
            put_le(bytes, r.v.computer, 8);
        }
    for (const auto* paths : {&g.made, &g.deleted}) {
        put_le(bytes, paths->size(), 4);
        for (const auto& [path, v] : *paths) {
            put_le(bytes, path.size(), 2);
            for (const std::string& name : path) {
                put_le(bytes, name.size(), 2);
                bytes += name;
            }
            put_le(bytes, v.stamp, 8);
            put_le(bytes, v.computer, 8);
        }
    }
    std::string lost;
    uint32_t lost_count = 0;
    for (const auto& [key, texts] : g.lost) {
        if (!record_with(key))
            continue;  // its item was deleted
        ++lost_count;
        put_le(lost, key.computer, 8);
        put_le(lost, key.number, 8);
        for (const std::string* text : {&texts.question, &texts.answer}) {
            put_le(lost, text->size(), 4);
            lost += *text;
        }
    }
    put_le(bytes, lost_count, 4);
    bytes += lost;
    static const item_marks none;
    const std::vector<uint32_t> places = place_prints();
    put_le(bytes, db().item_count, 4);
    uint32_t written = 0;
    for (const item* e = db().head; e; e = e->next, ++written) {
        put_le(bytes, fingerprint(*e), 8);
        const item_marks* m = marks_of(e);
        put_marks(bytes, m ? *m : none);
        put_le(bytes, schedule_print(*e), 4);
        put_le(bytes, place_print(places, e->ctgr), 4);
    }
    put_le(bytes, db().pending_count, 4);
    for (const pending_item* p = db().pending_head; p; p = p->next) {
        put_le(bytes, fingerprint(*p), 8);
        const item_marks* m = marks_of(p);
        put_marks(bytes, m ? *m : none);
        put_le(bytes, place_print(places, p->ctgr), 4);
    }
    std::string same;
    uint32_t same_count = 0;
    for (const auto& [copy, key] : g.same_as) {
        if (!record_with(key))
            continue;  // deleted: a change of either copy finds nothing either way
        ++same_count;
        for (const item_key* k : {&copy, &key}) {
            put_le(same, k->computer, 8);
            put_le(same, k->number, 8);
        }
    }
    put_le(bytes, same_count, 4);
    bytes += same;
    put_le(bytes, g.writer ? g.writer->print_of(g.own_applied) : g.own_print, 8);
    put_le(bytes, XXH32(bytes.data(), bytes.size(), 0), 4);
    return written == db().item_count && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

uint64_t state_file_writer(const std::string& path)
{
    std::string bytes;
    if (!read_whole_file(path, &bytes) || bytes.size() < 4 + sizeof state_magic
        || std::memcmp(bytes.data(), state_magic, sizeof state_magic) != 0)
        return 0;
    state_reader in(std::string_view(bytes).substr(sizeof state_magic));
    in.number(4);  // version and reserved bytes
    const uint64_t writer = in.number(8);
    return in.good() ? writer : 0;
}

bool read_state_file(const std::string& path)
{
    std::string bytes;
    if (!read_whole_file(path, &bytes))
        return errno == ENOENT;
    if (bytes.size() < 4 + sizeof state_magic
        || std::memcmp(bytes.data(), state_magic, sizeof state_magic) != 0)
        return false;
    state_reader check(std::string_view(bytes).substr(bytes.size() - 4));
    if (check.number(4) != XXH32(bytes.data(), bytes.size() - 4, 0))
        return false;
    state_reader in(std::string_view(bytes).substr(0, bytes.size() - 4));
    in.number(8);
    const uint64_t version = in.number(2);
    if (version < 1 || version > state_version)
        return false;
    in.number(2);
    sync_globals& g = sync_g();
    const uint64_t writer = in.number(8);
    uint64_t own = in.number(8);
    const uint64_t positions_size = in.number(4);
    std::string positions;
    if (in.good() && positions_size <= bytes.size() - in.at())
        positions.assign(bytes, in.at(), positions_size);
    for (uint64_t i = 0; i < positions_size && in.good(); ++i)
        in.number(1);
    std::map<std::vector<std::string>, std::vector<rename_away>> renamed;
    const uint64_t renames = in.number(4);
    for (uint64_t i = 0; i < renames && in.good(); ++i) {
        std::vector<std::string> paths[2];
        for (auto& path : paths) {
            const uint64_t names = in.number(2);
            for (uint64_t k = 0; k < names && in.good(); ++k)
                path.push_back(in.text(2));
        }
        rename_away r{std::move(paths[1]), {}};
        if (version >= 4) {
            r.v.stamp = in.number(8);
            r.v.computer = in.number(8);
        }
        renamed[paths[0]].push_back(std::move(r));  // written in their order
    }
    std::map<std::vector<std::string>, field_version> made;
    std::map<std::vector<std::string>, field_version> deleted;
    for (auto* paths : {&made, &deleted}) {
        const uint64_t count = version == 1 || (paths == &deleted && version == 2) ? 0 : in.number(4);
        for (uint64_t i = 0; i < count && in.good(); ++i) {
            std::vector<std::string> path;
            const uint64_t names = in.number(2);
            for (uint64_t k = 0; k < names && in.good(); ++k)
                path.push_back(in.text(2));
            field_version& v = (*paths)[path];
            v.stamp = in.number(8);
            v.computer = in.number(8);
        }
    }
    std::unordered_map<item_key, lost_texts, item_key_hash> lost;
    const uint64_t lost_count = version == 1 ? 0 : in.number(4);
    for (uint64_t i = 0; i < lost_count && in.good(); ++i) {
        item_key key;
        key.computer = in.number(8);
        key.number = in.number(8);
        lost_texts& texts = lost[key];
        texts.question = in.text(4);
        texts.answer = in.text(4);
    }
    marks_by_print items;
    const uint64_t item_count = in.number(4);
    for (uint64_t i = 0; i < item_count && in.good(); ++i) {
        const uint64_t print = in.number(8);
        items.add(print, in.marks(false, version));
    }
    marks_by_print queued;
    const uint64_t queue_count = in.number(4);
    for (uint64_t i = 0; i < queue_count && in.good(); ++i) {
        const uint64_t print = in.number(8);
        queued.add(print, in.marks(true, version));
    }
    std::unordered_map<item_key, item_key, item_key_hash> same_as;
    const uint64_t same_count = version < 6 ? 0 : in.number(4);
    for (uint64_t i = 0; i < same_count && in.good(); ++i) {
        item_key keys[2];
        for (item_key& k : keys) {
            k.computer = in.number(8);
            k.number = in.number(8);
        }
        same_as[keys[0]] = keys[1];
    }
    const uint64_t own_print = version < 7 ? 0 : in.number(8);
    if (!in.good() || !g.inbox->read_positions(positions))
        return false;
    if (writer != g.me)
        own = take_over_positions(writer, own, path);
    g.own_applied = own;
    g.own_print = writer == g.me ? own_print : 0;
    g.renamed = std::move(renamed);
    g.made = std::move(made);
    g.deleted = std::move(deleted);
    g.lost = std::move(lost);
    g.same_as = std::move(same_as);
    for (item* e = db().head; e; e = e->next)
        items.bind(e);
    for (pending_item* p = db().pending_head; p; p = p->next)
        queued.bind(p);
    g.unmatched.clear();
    items.unused(g.unmatched);
    queued.unused(g.unmatched);
    // The records applied before are not read again, but what they set still has to lose to a
    // change made here now, on a clock that may be behind theirs.
    for (const auto& [record, m] : g.marks)
        for (const field_version* v : {&m.schedule, &m.texts, &m.place})
            g.latest_stamp = std::max(g.latest_stamp, v->stamp);
    for (const auto* paths : {&g.made, &g.deleted})
        for (const auto& [path, v] : *paths)
            g.latest_stamp = std::max(g.latest_stamp, v.stamp);
    return true;
}
