#include "exchange/package_import.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "session/sync.h"
#include "calendar/calendar.h"
#include "exchange/html_markup.h"
#include "exchange/import_leftovers.h"
#include "exchange/json_reader.h"
#include "exchange/media_map.h"
#include "platform/files.h"
#include "services/log.h"
#include "services/paths.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t max_collection_bytes = uint64_t{1} << 30;
constexpr uint64_t max_map_bytes = uint64_t{64} << 20;
constexpr int sqlite_text_limit = 64 << 20;
constexpr int progress_steps_limit = 200000000;  // SQLite steps before a query counts as hung
// The most an import puts into the temporary folder, which is often in memory: a bigger
// collection is unpacked into the data directory, and media always go straight to media/.
constexpr uint64_t max_scratch_bytes = uint64_t{256} << 20;
// What an import leaves free on the disks it writes to, beyond the room of the save after it.
constexpr uint64_t disk_reserve = uint64_t{64} << 20;

// The default of package_import_options::keep_free: the save writes its files beside the old
// ones, and a backup of the database beside them.
uint64_t room_for_the_save()
{
    uint64_t bytes = disk_reserve;
    std::error_code unknown;
    for (const char* name : {"elements.bin", "queue.txt", "weights.bin"})
        if (const auto size = fs::file_size(data_path(name), unknown); !unknown)
            bytes += 2 * size;
    return bytes;
}

struct sqlite_closer {
    void operator()(sqlite3* d) const { sqlite3_close(d); }
};
struct statement_closer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using statement = std::unique_ptr<sqlite3_stmt, statement_closer>;

std::string column_text(sqlite3_stmt* s, int c)
{
    const auto* text = sqlite3_column_text(s, c);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(s, c)))
                : std::string();
}

// The first card of a note: its deck and scheduling.
struct card_row {
    int64_t deck = 0;
    int64_t type = 0;  // 0 new, 1 learning, 2 review, 3 relearning
    int64_t queue = 0;  // 1 and 4: due in seconds; 2 and 3: due in days; below 0 suspended or buried
    int64_t due = 0;
    int64_t ivl = 0;  // days, or negative seconds while learning
    int64_t reps = 0;
    int64_t id = 0;  // creation, milliseconds
    int64_t ord = 0;  // the card's place among its note's cards; the lowest one stands for the note
};

class package_reader {
public:
    package_reader(const package_import_options& options, import_summary& summary)
        : options_(options), summary_(summary), archive_(options.limits)
    {
    }

    ~package_reader()
    {
        // Unpacked media that no commit renamed.
        for (const auto& [target, temporary] : unpacked_)
            ::unlink(temporary.c_str());
    }

    bool run(const std::string& path)
    {
        if (!archive_.open(path))
            return fail(archive_.error());
        if (!open_collection() || !read_media_map() || !read_decks() || !read_cards())
            return false;
        return read_notes();
    }

    // The decks and how many notes each holds, without the notes' texts or their media.
    bool read_contents(const std::string& path, package_contents& out)
    {
        if (!archive_.open(path))
            return fail(archive_.error());
        if (!open_collection() || !read_decks() || !read_cards())
            return false;
        statement s;
        if (!prepare("SELECT id FROM notes", s))
            return false;
        std::map<std::string, uint32_t> notes;  // by deck name, sorted
        bool row = false;
        while (step(s.get(), row) && row) {
            std::string name;
            if (const auto card = cards_.find(sqlite3_column_int64(s.get(), 0)); card != cards_.end())
                if (const auto deck = decks_.find(card->second.deck); deck != decks_.end())
                    for (const std::string& part : deck->second)
                        name += (name.empty() ? "" : "::") + part;
            ++notes[name];
            ++out.notes;
        }
        for (auto& [name, count] : notes)
            out.decks.push_back({name, count});
        return !summary_.error;
    }

    bool commit()
    {
        // The names are journaled before the files get them, so that a start after a kill
        // removes the ones no saved item names; one sync of the file system then covers them all.
        std::vector<std::string> names;
        for (const auto& [target, temporary] : copies_)
            names.push_back(target);
        if (!names.empty() && !journal_media_names(media_folder_, names))
            return fail({.code = exchange_problem_code::cannot_write, .path = media_folder_ + media_journal_name, .os_error = errno});
        std::vector<std::string> made;
        for (const auto& [target, temporary] : copies_) {
            const std::string to = media_folder_ + target;
            if (const std::error_code renamed = rename_file(temporary.c_str(), to.c_str())) {
                const int error = renamed.value();
                for (const std::string& m : made)
                    ::unlink(m.c_str());
                return fail({.code = exchange_problem_code::media_not_renamed, .path = media_folder_, .name = target, .os_error = error});
            }
            unpacked_.erase(target);
            made.push_back(to);
        }
        if (!made.empty() && !sync_folder_and_files(media_folder_)) {
            const int error = errno;
            for (const std::string& m : made)
                ::unlink(m.c_str());
            return fail({.code = exchange_problem_code::media_not_synced, .path = media_folder_, .os_error = error});
        }
        summary_.media_copied = static_cast<uint32_t>(copies_.size());
        batch_.commit(summary_);
        return true;
    }

    bool fail(const exchange_problem& problem)
    {
        summary_.error = problem;
        write_log("WARNING: package import refused: %s\n", log_text(problem).c_str());
        return false;
    }

private:
    bool open_collection()
    {
        std::string entry;
        for (const char* name : {"collection.anki21b", "collection.anki21", "collection.anki2"}) {
            if (archive_.has(name)) {
                entry = name;
                break;
            }
        }
        if (entry.empty())
            return fail({.code = exchange_problem_code::no_collection});
        const uint64_t claimed = archive_.claimed_size(entry);
        const std::string parent = claimed <= max_scratch_bytes ? temporary_folder() : data_path("");
        scratch_ = std::make_unique<scratch_dir>(parent);
        if (scratch_->path().empty())
            return fail({.code = exchange_problem_code::no_scratch_folder, .path = parent, .os_error = errno});
        if (const uint64_t room = free_bytes(parent); room < claimed + disk_reserve)
            return fail({.code = exchange_problem_code::no_room_for_collection, .path = parent, .size = claimed, .limit = room});
        const std::string copy = scratch_->path() + "collection.sqlite";
        if (!archive_.extract(entry, copy, claimed <= max_scratch_bytes ? max_scratch_bytes : UINT64_MAX))
            return fail(archive_.error());
        // A collection saved in WAL mode is read as a plain one: its log was never packed.
        if (FILE* f = std::fopen(copy.c_str(), "r+b")) {
            unsigned char header[20] = {};
            if (std::fread(header, 1, sizeof header, f) == sizeof header && header[18] == 2 && header[19] == 2) {
                const unsigned char legacy[2] = {1, 1};
                std::fseek(f, 18, SEEK_SET);
                std::fwrite(legacy, 1, 2, f);
            }
            std::fclose(f);
        }
        sqlite3* handle = nullptr;
        const int rc = sqlite3_open_v2(copy.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        db_.reset(handle);
        if (rc != SQLITE_OK)
            return fail({.code = exchange_problem_code::collection_not_opened, .detail = sqlite3_errstr(rc)});
        // Only our own queries run: no triggers, no views, nothing the file's schema asks for.
        int ignored = 0;
        sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, &ignored);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &ignored);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_VIEW, 0, &ignored);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &ignored);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &ignored);
        sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, sqlite_text_limit);
        sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, 0);
        sqlite3_progress_handler(
            handle, 1000,
            [](void* steps) { return ++*static_cast<int*>(steps) > progress_steps_limit / 1000 ? 1 : 0; }, &steps_);
        return true;
    }

    bool prepare(const char* sql, statement& s)
    {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql, -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            return fail({.code = exchange_problem_code::collection_unknown, .detail = sqlite3_errmsg(db_.get())});
        }
        s.reset(raw);
        return true;
    }
    bool step(sqlite3_stmt* s, bool& row)
    {
        const int rc = sqlite3_step(s);
        row = rc == SQLITE_ROW;
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            return true;
        return fail({.code = exchange_problem_code::collection_damaged, .detail = sqlite3_errmsg(db_.get())});
    }
    bool has_table(const char* name)
    {
        statement s;
        if (!prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1", s))
            return false;
        sqlite3_bind_text(s.get(), 1, name, -1, SQLITE_STATIC);
        bool row = false;
        return step(s.get(), row) && row && sqlite3_column_int(s.get(), 0) > 0;
    }

    bool read_media_map()
    {
        if (!archive_.has("media"))
            return true;
        std::string bytes;
        if (!archive_.read("media", bytes, max_map_bytes))
            return fail(archive_.error());
        const auto map = parse_media_map(bytes);
        if (!map)
            return fail({.code = exchange_problem_code::media_list_damaged});
        media_ = *map;
        return true;
    }

    bool read_decks()
    {
        statement s;
        if (!prepare("SELECT crt, decks FROM col", s))
            return false;
        bool row = false;
        if (!step(s.get(), row))
            return false;
        if (!row)
            return fail({.code = exchange_problem_code::no_collection_record});
        created_ = sqlite3_column_int64(s.get(), 0);
        const std::string decks_json = column_text(s.get(), 1);
        if (has_table("decks")) {
            // The newer collections keep decks in a table, their names' parts separated by 0x1f.
            statement d;
            if (!prepare("SELECT id, name FROM decks", d))
                return false;
            while (step(d.get(), row) && row) {
                std::string name = column_text(d.get(), 1);
                std::vector<std::string> parts;
                size_t from = 0;
                while (from <= name.size()) {
                    size_t at = name.find('\x1f', from);
                    if (at == std::string::npos)
                        at = name.size();
                    if (std::string part = clean_category_name(name.substr(from, at - from)); !part.empty())
                        parts.push_back(std::move(part));
                    from = at + 1;
                }
                decks_[sqlite3_column_int64(d.get(), 0)] = std::move(parts);
            }
            return !summary_.error;
        }
        if (decks_json.empty())
            return true;
        const auto json = parse_json(decks_json);
        if (!json || json->type != json_value::kind::object)
            return fail({.code = exchange_problem_code::deck_list_damaged});
        for (const auto& [id, deck] : json->members) {
            const json_value* name = deck.member("name");
            if (!name || name->type != json_value::kind::string)
                continue;
            char* end = nullptr;
            const long long number = std::strtoll(id.c_str(), &end, 10);
            if (*end == '\0')
                // Split at "::" only, whatever slashes the name holds or ends with.
                decks_[number] = split_category_path(name->text + "::");
        }
        return true;
    }

    bool read_cards()
    {
        statement s;
        // In the table's order, each note keeping its card of the lowest ord: sorting by note
        // took SQLite a pass and a sort of every card, as packages rarely index cards by ord.
        if (!prepare("SELECT nid, did, odid, type, queue, due, odue, ivl, reps, id, ord FROM cards", s))
            return false;
        bool row = false;
        while (step(s.get(), row) && row) {
            const int64_t note = sqlite3_column_int64(s.get(), 0);
            const int64_t ord = sqlite3_column_int64(s.get(), 10);
            if (const auto there = cards_.find(note); there != cards_.end() && there->second.ord <= ord)
                continue;
            card_row c;
            c.ord = ord;
            const int64_t original_deck = sqlite3_column_int64(s.get(), 2);
            // A card lent to a filtered deck belongs to the deck it came from, due when it was.
            c.deck = original_deck != 0 ? original_deck : sqlite3_column_int64(s.get(), 1);
            c.type = sqlite3_column_int64(s.get(), 3);
            c.queue = sqlite3_column_int64(s.get(), 4);
            const int64_t original_due = sqlite3_column_int64(s.get(), 6);
            c.due = original_deck != 0 && original_due != 0 ? original_due : sqlite3_column_int64(s.get(), 5);
            c.ivl = sqlite3_column_int64(s.get(), 7);
            c.reps = sqlite3_column_int64(s.get(), 8);
            c.id = sqlite3_column_int64(s.get(), 9);
            cards_.insert_or_assign(note, c);
        }
        return !summary_.error;
    }

    std::optional<carried_schedule> schedule_of(const card_row& c) const
    {
        if (!options_.keep_scheduling || c.type == 0)
            return std::nullopt;
        const int64_t now = time_now();
        carried_schedule s;
        const bool due_in_seconds = c.queue == 1 || c.queue == 4 || (c.type == 1 && c.queue != 3 && c.queue != 2);
        const int64_t days = due_in_seconds ? (c.due - now) / 86400 : c.due - (now - created_) / 86400;
        s.due_in_days = static_cast<int32_t>(std::clamp<int64_t>(days, -65535, 65535));
        s.ivl = static_cast<uint16_t>(std::clamp<int64_t>(c.ivl, 0, 2047));
        s.rp = static_cast<uint16_t>(std::clamp<int64_t>(c.reps, 0, 127));
        s.gr = c.type == 3 ? 1 : c.type == 1 ? 3 : 4;
        const int64_t seconds = c.id / 1000;
        s.id = seconds > 0 && seconds <= UINT32_MAX ? static_cast<uint32_t>(seconds) : 0;
        return s;
    }

    std::optional<std::string> media_path(uint64_t note, const std::string& name, bool sound)
    {
        std::string found = name;
        auto entry = media_.find(found);
        if (entry == media_.end()) {
            found = percent_decoded(name);
            entry = media_.find(found);
        }
        const auto left_out = [&](exchange_problem problem) -> std::optional<std::string> {
            problem.place = item_place::note;
            problem.place_number = note;
            if (problem.name.empty())
                problem.name = name;
            problem.media = sound ? media_kind::sound : media_kind::picture;
            summary_.problems.push_back(std::move(problem));
            return std::nullopt;
        };
        using enum exchange_problem_code;
        if (entry == media_.end() || !archive_.has(entry->second))
            return left_out({.code = media_missing});
        if (!safe_media_name(found))
            return left_out({.code = media_name_escapes});
        if (const auto done = targets_.find(found); done != targets_.end()) {
            item_media_.push_back(done->second);
            return std::string(package_media_folder) + done->second;
        }
        const uint64_t claimed = archive_.claimed_size(entry->second);
        if (claimed > options_.limits.max_entry_bytes)
            return left_out({.code = media_too_large, .size = claimed, .limit = options_.limits.max_entry_bytes});
        if (!media_folder_made_) {
            if (::mkdir(media_folder_.c_str(), 0777) != 0 && errno != EEXIST)
                return left_out({.code = media_folder_not_made, .path = media_folder_, .os_error = errno});
            media_folder_made_ = true;
        }
        // The free space, not a total of the package, bounds what streams into media/: checked
        // before each file, and a file that unpacks to more than its claim stops at it.
        const uint64_t room = free_bytes(media_folder_);
        if (room < claimed + keep_free_)
            return left_out({.code = media_no_room, .path = media_folder_, .size = claimed, .limit = room});
        // Unpacked under a temporary name in media/ itself, so that taking it is a rename.
        const std::string unpacked = media_folder_ + media_temporary_name(temporaries_++);
        if (!archive_.extract(entry->second, unpacked, room - keep_free_, unpacked_into::media)) {
            ::unlink(unpacked.c_str());
            return left_out(archive_.error());
        }
        const std::string target = free_target(found, unpacked);
        targets_[found] = target;
        unpacked_[target] = unpacked;
        item_media_.push_back(target);
        return std::string(package_media_folder) + target;
    }

    // The name under which the file goes into the media folder: its own, unless another file
    // of that name is already there (then name-2.ext, name-3.ext, ...).
    std::string free_target(const std::string& name, const std::string& unpacked)
    {
        // A name like an atomic file's temporary gets its number at the end, so that the next
        // start, which removes those, keeps it.
        const size_t dot = is_temporary_name(name) ? std::string::npos : name.rfind('.');
        const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
        const std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
        for (int n = 1; n < 10000; ++n) {
            const std::string candidate = n == 1 ? name : stem + "-" + std::to_string(n) + ext;
            // The journal's own name is never a picture's: the next start removes the journal.
            if (taken_.count(candidate) || candidate == media_journal_name || is_temporary_name(candidate))
                continue;
            if (!in_folder().count(candidate)) {
                taken_.insert(candidate);
                return candidate;
            }
            if (same_file_there(candidate, unpacked)) {
                taken_.insert(candidate);
                already_there_.insert(candidate);
                return candidate;
            }
        }
        return name;
    }
    // The names media/ held before this import, read once: a lookup per picture cost a system
    // call each for packages of 100,000 of them. No other copy of the program writes there.
    const std::unordered_set<std::string>& in_folder()
    {
        if (!folder_read_) {
            folder_read_ = true;
            std::error_code unreadable;
            for (const auto& entry : fs::directory_iterator(media_folder_, unreadable))
                folder_names_.insert(entry.path().filename().string());
        }
        return folder_names_;
    }
    static bool same_contents(const std::string& a, const std::string& b)
    {
        FILE* fa = std::fopen(a.c_str(), "rb");
        FILE* fb = std::fopen(b.c_str(), "rb");
        bool same = fa && fb;
        char ba[1 << 14], bb[1 << 14];
        while (same) {
            const size_t na = std::fread(ba, 1, sizeof ba, fa);
            const size_t nb = std::fread(bb, 1, sizeof bb, fb);
            same = na == nb && std::memcmp(ba, bb, na) == 0;
            if (na == 0 || !same)
                break;
        }
        if (fa)
            std::fclose(fa);
        if (fb)
            std::fclose(fb);
        return same;
    }
    bool same_file_there(const std::string& target, const std::string& unpacked) const
    {
        return same_contents(media_folder_ + target, unpacked);
    }

    bool read_notes()
    {
        statement count;
        if (!prepare("SELECT count(*) FROM notes", count))
            return false;
        bool row = false;
        if (!step(count.get(), row))
            return false;
        const auto total = static_cast<size_t>(std::max<int64_t>(0, row ? sqlite3_column_int64(count.get(), 0) : 0));
        statement s;
        if (!prepare("SELECT id, flds FROM notes ORDER BY id", s))
            return false;
        batch_.expect(total);
        size_t done = 0;
        while (step(s.get(), row) && row) {
            const int64_t id = sqlite3_column_int64(s.get(), 0);
            const std::string fields = column_text(s.get(), 1);
            const size_t sep = fields.find('\x1f');
            const std::string front = fields.substr(0, sep);
            std::string back;
            if (sep != std::string::npos)
                back = fields.substr(sep + 1, fields.find('\x1f', sep + 1) - sep - 1);
            staged_item item;
            item.place = item_place::note;
            item.place_number = static_cast<uint64_t>(id);
            const media_resolver media = [&](const std::string& name, bool sound) {
                return media_path(item.place_number, name, sound);
            };
            if (const auto card = cards_.find(id); card != cards_.end()) {
                if (const auto deck = decks_.find(card->second.deck); deck != decks_.end())
                    item.category_path = deck->second;
                item.schedule = schedule_of(card->second);
            }
            item_media_.clear();
            item.question = html_to_markup(front, media);
            item.answer = html_to_markup(back, media);
            if (batch_.add(std::move(item), summary_)) {
                // Media named only by items left out are not copied.
                for (const std::string& target : item_media_)
                    if (needed_.insert(target).second && !already_there_.count(target))
                        copies_.emplace_back(target, unpacked_[target]);
            }
            if (options_.progress && ++done % 1024 == 0)
                options_.progress(done, total);
        }
        return !summary_.error;
    }

    const package_import_options& options_;
    import_summary& summary_;
    package_archive archive_;
    std::unique_ptr<scratch_dir> scratch_;  // holds the collection while it is read
    const std::string media_folder_ = data_path(package_media_folder);
    const uint64_t keep_free_ = options_.keep_free.value_or(room_for_the_save());
    size_t temporaries_ = 0;  // temporary names given out in media/
    bool media_folder_made_ = false;
    std::unique_ptr<sqlite3, sqlite_closer> db_;
    int steps_ = 0;
    int64_t created_ = 0;
    media_map media_;
    std::unordered_map<int64_t, std::vector<std::string>> decks_;
    std::unordered_map<int64_t, card_row> cards_;
    std::map<std::string, std::string> targets_;  // media name -> name in the media folder
    bool folder_read_ = false;  // folder_names_ holds what media/ held
    std::unordered_set<std::string> folder_names_;  // the names in media/ when it was read
    std::set<std::string> taken_;  // names in the media folder given out by this import
    std::set<std::string> already_there_;  // of those, the files the folder held with the same bytes
    std::map<std::string, std::string> unpacked_;  // name in the media folder -> its temporary file
    std::vector<std::string> item_media_;  // the media named by the note being read
    std::set<std::string> needed_;  // media named by items that are kept
    std::vector<std::pair<std::string, std::string>> copies_;  // name in the folder, its temporary file
    import_batch batch_{import_target::queue, options_.default_category, 3};
};

}  // namespace

import_summary import_package(const std::string& path, const package_import_options& options)
{
    import_summary summary;
    package_reader reader(options, summary);
    if (!reader.run(path) || !reader.commit()) {
        summary.done = false;
        summary.added = 0;
        summary.media_copied = 0;
        return summary;
    }
    if (options.progress)
        options.progress(summary.added, summary.added);
    sync_note_import(std::filesystem::path(path).filename().string(), summary.added);
    return summary;
}

package_contents read_package_contents(const std::string& path, const archive_limits& limits)
{
    import_summary summary;
    package_import_options options;
    options.limits = limits;
    package_reader reader(options, summary);
    package_contents contents;
    contents.read = reader.read_contents(path, contents);
    contents.error = summary.error;
    if (!contents.read)
        contents = package_contents{false, summary.error, {}, 0};
    return contents;
}
