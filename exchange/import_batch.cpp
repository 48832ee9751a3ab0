#include "exchange/import_batch.h"

#include <algorithm>

#include "ann/feedback.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "database/days.h"
#include "exchange/export.h"
#include "platform/utf.h"
#include "services/log.h"

namespace {

constexpr uint16_t max_interval = 2047;
constexpr uint16_t max_repetitions = 127;
constexpr char key_separator = '\x1f';
constexpr uint32_t max_categories = UINT16_MAX;  // add_category refuses any beyond

bool valid_utf8(const std::string& s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned char c = *p;
        size_t n = 0;
        uint32_t min = 0;
        if (c < 0x80) {
            ++p;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            min = 0x10000;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) <= n)
            return false;
        uint32_t value = c & (0x3F >> n);
        for (size_t i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            value = value << 6 | (p[i] & 0x3F);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        p += n + 1;
    }
    return true;
}

// Line ends become line feeds, as the database stores them: a carriage return would not come
// back the same from queue.txt or the XML form.
void to_line_feeds(std::string& text)
{
    size_t out = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        text[out++] = text[i] == '\r' ? '\n' : text[i];
    }
    text.resize(out);
}

std::string check_text(const std::string& text, const char* what)
{
    if (text.empty())
        return std::string("no ") + what;
    // Neither queue.txt nor the XML form can carry a NUL: the item would be lost at the next start.
    if (text.find('\0') != std::string::npos)
        return std::string("the ") + what + " holds a NUL byte, which no text of this program can keep";
    if (!valid_utf8(text))
        return std::string("the ") + what + " is not UTF-8 text";
    const size_t length = display_length(text);
    if (length > import_text_limit)
        return std::string("the ") + what + " is " + std::to_string(length) +
               " bytes long, counting two for each line break (at most 8,191)";
    return {};
}


}  // namespace

size_t display_length(const std::string& text)
{
    return text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string clean_category_name(const std::string& name)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            out.push_back(' ');
        else
            out.push_back(c == '"' ? '\'' : c);
    }
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    out.erase(0, first);
    out.erase(out.find_last_not_of(' ') + 1);
    constexpr size_t limit = MAX_CTGR_LEN - 1;
    if (out.size() > limit) {
        out.resize(utf8_prefix(out, limit));
        out.erase(out.find_last_not_of(' ') + 1);
    }
    return out;
}

std::vector<std::string> split_category_path(const std::string& path)
{
    std::vector<std::string> names;
    const bool colons = path.find("::") != std::string::npos;
    const std::string separator = colons ? "::" : "/";
    size_t from = 0;
    while (from <= path.size()) {
        size_t at = path.find(separator, from);
        if (at == std::string::npos)
            at = path.size();
        std::string name = clean_category_name(path.substr(from, at - from));
        if (!name.empty())
            names.push_back(std::move(name));
        from = at + separator.size();
    }
    return names;
}

namespace {

constexpr uint32_t pending_flag = 0x80000000u;
constexpr uint32_t no_path = UINT32_MAX;

std::string_view question_of(const void* record, bool pending)
{
    return pending ? std::string_view(static_cast<const pending_item*>(record)->question)
                   : static_cast<const item*>(record)->question.view();
}

std::string_view answer_of(const void* record, bool pending)
{
    return pending ? std::string_view(static_cast<const pending_item*>(record)->answer)
                   : static_cast<const item*>(record)->answer.view();
}

}  // namespace

import_batch::import_batch(import_target target, uint16_t default_category, uint16_t first_grade)
    : target_(target), default_category_(default_category), first_grade_(first_grade), today_(day_number(0)),
      now_(time_now())
{
    const database& d = db();
    category_paths_.assign(d.categories.size(), no_path);
    if (default_category_ >= d.categories.size())
        default_category_ = 0;
    // The items sorted into groups by counting, about two to a group, in the one walk of the lists.
    size_t groups = 1;
    while (groups < (size_t{d.item_count} + d.pending_count) / 2)
        groups *= 2;
    group_starts_.assign(groups + 1, 0);
    group_hashed_.assign(groups, 0);
    std::vector<uint32_t> group;
    const auto add_existing = [&](void* record, uint32_t path, size_t question_size, size_t answer_size) {
        records_.push_back(record);
        record_paths_.push_back(path);
        group.push_back(group_of(question_size, answer_size, path & ~pending_flag));
        ++group_starts_[group.back() + 1];
    };
    uint32_t newest = 0;
    for (item* e = d.head; e; e = e->next) {
        newest = std::max(newest, e->id);
        add_existing(e, path_id_of_category(e->ctgr), e->question.size(), e->answer.size());
    }
    for (pending_item* p = d.pending_head; p; p = p->next)
        add_existing(p, path_id_of_category(p->ctgr) | pending_flag, p->question.size(), p->answer.size());
    existing_ = records_.size();
    next_id_ = newest < now_ ? now_ : newest + 1;
    for (size_t g = 1; g <= groups; ++g)
        group_starts_[g] += group_starts_[g - 1];
    grouped_.resize(existing_);
    std::vector<uint32_t> next(group_starts_.begin(), group_starts_.end() - 1);
    for (size_t i = 0; i < existing_; ++i)
        grouped_[next[group[i]]++] = static_cast<uint32_t>(i);
    grow_table();
}

import_batch::~import_batch()
{
    for (size_t i = existing_; i < records_.size(); ++i) {
        if (record_paths_[i] & pending_flag)
            free_pending_item(static_cast<pending_item*>(records_[i]));
        else
            free_item(static_cast<item*>(records_[i]));
    }
}

// The names from the top-level category down to c, so that a category of the file and one
// of the database compare by what add_category would find.
uint32_t import_batch::path_id_of_category(uint16_t c)
{
    if (c >= category_paths_.size())
        return no_path;
    if (category_paths_[c] == no_path) {
        std::vector<const std::string*> names;
        walk_up_categories(c, [&](uint32_t at) {
            names.push_back(&db().categories[at]->name);
            return true;
        });
        std::string key;
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            key.append(**it).push_back(key_separator);
        const auto [at, made] = path_ids_.emplace(std::move(key), static_cast<uint32_t>(paths_.size()));
        if (made)
            paths_.push_back({{}, c});
        category_paths_[c] = at->second;
    }
    return category_paths_[c];
}

uint32_t import_batch::path_id_of(std::vector<std::string>&& names)
{
    if (names.empty())
        return path_id_of_category(default_category_);
    std::string key;
    for (const std::string& name : names)
        key.append(name).push_back(key_separator);
    const auto [at, made] = path_ids_.emplace(std::move(key), static_cast<uint32_t>(paths_.size()));
    if (made)
        paths_.push_back({std::move(names), -1});
    return at->second;
}

size_t import_batch::hash_of(size_t index) const
{
    const bool pending = record_paths_[index] & pending_flag;
    const std::hash<std::string_view> h;
    size_t v = h(question_of(records_[index], pending));
    v = v * 0x9E3779B97F4A7C15ull ^ h(answer_of(records_[index], pending));
    return v * 0x9E3779B97F4A7C15ull ^ (record_paths_[index] & ~pending_flag);
}

bool import_batch::same(size_t a, size_t b) const
{
    const bool pa = record_paths_[a] & pending_flag;
    const bool pb = record_paths_[b] & pending_flag;
    return (record_paths_[a] & ~pending_flag) == (record_paths_[b] & ~pending_flag) &&
           question_of(records_[a], pa) == question_of(records_[b], pb) &&
           answer_of(records_[a], pa) == answer_of(records_[b], pb);
}

size_t import_batch::slot_for(size_t index) const
{
    const size_t mask = table_.size() - 1;
    for (size_t slot = hash_of(index) & mask;; slot = (slot + 1) & mask)
        if (table_[slot] == 0 || same(table_[slot] - 1, index))
            return slot;
}

uint32_t import_batch::group_of(size_t question_size, size_t answer_size, uint32_t path) const
{
    uint64_t v = question_size;
    v = v * 0x9E3779B97F4A7C15ull ^ answer_size;
    v = v * 0x9E3779B97F4A7C15ull ^ path;
    return static_cast<uint32_t>((v * 0x9E3779B97F4A7C15ull) >> 32) & static_cast<uint32_t>(group_hashed_.size() - 1);
}

void import_batch::hash_group(uint32_t group)
{
    if (group_hashed_[group])
        return;
    group_hashed_[group] = 1;
    hashed_groups_.push_back(group);
    for (uint32_t k = group_starts_[group]; k < group_starts_[group + 1]; ++k)
        insert(grouped_[k]);
}

void import_batch::insert(size_t index)
{
    const size_t slot = slot_for(index);
    if (table_[slot] != 0)
        return;
    table_[slot] = static_cast<uint32_t>(index + 1);
    if (2 * ++table_entries_ > table_.size())
        grow_table();
}

void import_batch::grow_table()
{
    size_t size = 16;
    while (size < 4 * (table_entries_ + 1))
        size *= 2;
    table_.assign(size, 0);
    const auto put = [&](size_t i) {
        const size_t slot = slot_for(i);
        if (table_[slot] == 0)
            table_[slot] = static_cast<uint32_t>(i + 1);
    };
    for (const uint32_t group : hashed_groups_)
        for (uint32_t k = group_starts_[group]; k < group_starts_[group + 1]; ++k)
            put(grouped_[k]);
    for (size_t i = existing_; i < records_.size(); ++i)
        put(i);
}

bool import_batch::add(staged_item&& s, import_summary& summary)
{
    to_line_feeds(s.question);
    to_line_feeds(s.answer);
    std::string problem = check_text(s.question, "question");
    if (problem.empty())
        problem = check_text(s.answer, "answer");
    const bool to_queue = target_ == import_target::queue && !s.schedule;
    if (problem.empty() && to_queue &&
        (s.question.find("</q>") != std::string::npos || s.answer.find("</a>") != std::string::npos))
        problem = "a text holds its own closing tag, which queue.txt cannot keep";
    if (!problem.empty()) {
        if (summary.problems.size() < max_listed_problems)
            summary.problems.push_back(s.where + ": " + problem + "; left out");
        else
            ++summary.problems_not_listed;
        return false;
    }
    const uint32_t path = path_id_of(std::move(s.category_path));
    // Before this item is a record, so that a growing table does not take it in unchecked.
    hash_group(group_of(s.question.size(), s.answer.size(), path));
    void* record = nullptr;
    if (to_queue) {
        pending_item* p = new_pending_item();
        p->question = std::move(s.question);
        p->answer = std::move(s.answer);
        record = p;
    } else {
        item* e = new_item();
        e->question = std::move(s.question);
        e->answer = std::move(s.answer);
        if (const auto& c = s.schedule) {
            // An item overdue from before the database's first day is due on that day.
            const int32_t due = std::max<int32_t>(0, int32_t{today_} + c->due_in_days);
            e->ivl = std::min(c->ivl, max_interval);
            e->rp = std::min(c->rp, max_repetitions);
            e->gr = std::min<uint16_t>(c->gr, 5);
            e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(std::min<int32_t>(due, 0xFFFF));
            e->id = c->id;
        } else {
            e->gr = first_grade_;
            e->ivl = propose_interval(0, 0, 0, first_grade_);
            e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(e->ivl + today_);
        }
        record = e;
    }
    records_.push_back(record);
    record_paths_.push_back(path | (to_queue ? pending_flag : 0));
    const size_t index = records_.size() - 1;
    const size_t slot = slot_for(index);
    if (table_[slot] != 0) {
        // The same item is there already: this copy goes.
        records_.pop_back();
        record_paths_.pop_back();
        if (to_queue)
            free_pending_item(static_cast<pending_item*>(record));
        else
            free_item(static_cast<item*>(record));
        ++summary.duplicates;
        return false;
    }
    table_[slot] = static_cast<uint32_t>(index + 1);
    // Each kept item gets its own id, so that the log and the undo can tell them apart.
    if (!to_queue && static_cast<item*>(record)->id == 0 && next_id_ != 0)
        static_cast<item*>(record)->id = next_id_++;
    if (2 * ++table_entries_ > table_.size())
        grow_table();
    return true;
}

uint16_t import_batch::category_for(uint32_t path_id, import_summary& summary)
{
    path_entry& entry = paths_[path_id];
    if (entry.category >= 0)
        return static_cast<uint16_t>(entry.category);
    int32_t parent = -1;
    for (const std::string& name : entry.names) {
        if (const int32_t there = category_named(name, parent); there >= 0) {
            parent = there;
            continue;
        }
        if (category_count() >= max_categories) {
            // Its items go into the nearest category of the path that exists, else the default.
            std::string wanted;
            for (const std::string& n : entry.names)
                wanted.append(wanted.empty() ? "" : "::").append(n);
            const uint16_t instead = parent >= 0 ? static_cast<uint16_t>(parent) : default_category_;
            summary.problems.push_back("the category \"" + wanted + "\" cannot be made (the database holds " +
                                       std::to_string(max_categories) + " categories, the most it can); its items go into \"" +
                                       category_path_text(instead) + "\"");
            write_log("WARNING: import: no room for the category \"%s\"\n", wanted.c_str());
            parent = instead;
            break;
        }
        parent = add_category(name.c_str(), parent);
    }
    entry.category = parent;
    return static_cast<uint16_t>(parent);
}

void import_batch::commit(import_summary& summary)
{
    database& d = db();
    std::vector<item*> made;
    for (size_t i = existing_; i < records_.size(); ++i) {
        const uint16_t c = category_for(record_paths_[i] & ~pending_flag, summary);
        if (record_paths_[i] & pending_flag) {
            auto* p = static_cast<pending_item*>(records_[i]);
            p->ctgr = c;
            append_pending(p);
        } else {
            auto* e = static_cast<item*>(records_[i]);
            e->ctgr = c;
            made.push_back(e);
        }
    }
    summary.added += static_cast<uint32_t>(records_.size() - existing_);
    summary.done = true;
    records_.resize(existing_);
    record_paths_.resize(existing_);
    table_.clear();
    if (!made.empty()) {
        std::stable_sort(made.begin(), made.end(), [](const item* a, const item* b) { return a->tmtrpt < b->tmtrpt; });
        scheduled_batch batch;
        for (item* e : made)
            batch.add(e);
        insert_scheduled(nullptr);
        batch.link();
        insert_scheduled(nullptr);
        d.item_count += static_cast<uint32_t>(made.size());
    }
}
