#include "exchange/import_batch.h"

#include <algorithm>
#include <array>

#include "ann/feedback.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "database/days.h"
#include "exchange/export.h"
#include "platform/composed_text.h"
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

// An imported text keeps its line breaks as line feeds, but the database's may hold them as CR
// LF (typed into the boxes) or a lone CR (a handheld's file): a text in each of these forms.
// Only a text with a line break has more than one.
size_t line_break_forms(const std::string& text, std::array<std::string, 3>& forms)
{
    if (text.find('\n') == std::string::npos)
        return 1;
    for (const std::string_view line_break : {std::string_view("\r\n"), std::string_view("\r")}) {
        std::string& form = line_break.size() == 2 ? forms[1] : forms[2];
        form.clear();
        for (const char c : text) {
            if (c == '\n')
                form.append(line_break);
            else
                form.push_back(c);
        }
    }
    return 3;
}

exchange_problem_code check_text(const std::string& text, size_t& length)
{
    using enum exchange_problem_code;
    if (text.empty())
        return text_missing;
    // Neither queue.txt nor the XML form can carry a NUL: the item would be lost at the next start.
    if (text.find('\0') != std::string::npos)
        return text_holds_nul;
    if (!valid_utf8(text))
        return text_not_utf8;
    length = display_length(text);
    if (length > import_text_limit)
        return text_too_long;
    return none;
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
    // A path ending in "/" is split at slashes only: so the export writes names that hold "::".
    const bool colons = path.find("::") != std::string::npos && !path.ends_with('/');
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

constexpr uint32_t pending_flag = 0x80000000u;  // in record_paths_: the record is a queued item
constexpr uint32_t queued_flag = 0x80000000u;  // in table_: a position among the batch's queued records
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
    const size_t existing = size_t{d.item_count} + d.pending_count;
    records_.reserve(existing);
    record_paths_.reserve(existing);
    group.reserve(existing);
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
        add_existing(p, path_id_of_category(p->ctgr) | pending_flag, p->question.view().size(), p->answer.view().size());
    existing_ = records_.size();
    for (size_t g = 1; g <= groups; ++g)
        group_starts_[g] += group_starts_[g - 1];
    grouped_.resize(existing_);
    std::vector<uint32_t> next(group_starts_.begin(), group_starts_.end() - 1);
    for (size_t i = 0; i < existing_; ++i)
        grouped_[next[group[i]]++] = static_cast<uint32_t>(i);
    next_id_ = newest < now_ ? now_ : newest + 1;
    texts_before_ = queue_text_position();
    grow_table();
}

import_batch::~import_batch()
{
    for (size_t i = existing_; i < records_.size(); ++i)
        free_item(static_cast<item*>(records_[i]));
    if (!committed_) {
        for (uint32_t i = 0; i < queued_count_; ++i)
            free_pending_item(pending_record(queued_first_ + i));
        queue_text_rewind(texts_before_);
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
        // As a file's path names it: a name with blanks around it (an older file's) is the same
        // category as the path that names it without them, and takes its items.
        std::string key;
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            key.append(clean_category_name(**it)).push_back(key_separator);
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

import_batch::record_key import_batch::key_of(uint32_t ref) const
{
    if (ref & queued_flag) {
        const uint32_t position = ref & ~queued_flag;
        const pending_item* p = pending_record(queued_first_ + position);
        return {p->question.view(), p->answer.view(), queued_path(position)};
    }
    const bool pending = record_paths_[ref] & pending_flag;
    return {question_of(records_[ref], pending), answer_of(records_[ref], pending), record_paths_[ref] & ~pending_flag};
}

uint32_t import_batch::queued_path(uint32_t position) const
{
    const auto run = std::upper_bound(queued_paths_.begin(), queued_paths_.end(), position,
        [](uint32_t at, const path_run& r) { return at < r.first; });
    return std::prev(run)->path;
}

size_t import_batch::hash_of(const record_key& k)
{
    const std::hash<std::string_view> h;
    size_t v = h(k.question);
    v = v * 0x9E3779B97F4A7C15ull ^ h(k.answer);
    return v * 0x9E3779B97F4A7C15ull ^ k.path;
}

size_t import_batch::slot_for(const record_key& k) const
{
    const size_t mask = table_.size() - 1;
    for (size_t slot = hash_of(k) & mask;; slot = (slot + 1) & mask) {
        if (table_[slot] == 0)
            return slot;
        const record_key there = key_of(table_[slot] - 1);
        if (there.path == k.path && there.question == k.question && there.answer == k.answer)
            return slot;
    }
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
    // Counted before they go in, so that the table has room for the whole group: a growing
    // table enters every hashed group again.
    table_entries_ += group_starts_[group + 1] - group_starts_[group];
    if (2 * table_entries_ > table_.size()) {
        grow_table();
        return;
    }
    for (uint32_t k = group_starts_[group]; k < group_starts_[group + 1]; ++k) {
        const size_t slot = slot_for(key_of(grouped_[k]));
        if (table_[slot] == 0)
            table_[slot] = grouped_[k] + 1;
    }
}

void import_batch::grow_table()
{
    size_t size = 16;
    while (size < 4 * (std::max(table_entries_, expected_entries_) + 1))
        size *= 2;
    table_.assign(size, 0);
    const auto enter = [&](uint32_t ref) {
        const size_t slot = slot_for(key_of(ref));
        if (table_[slot] == 0)
            table_[slot] = ref + 1;
    };
    for (const uint32_t group : hashed_groups_)
        for (uint32_t k = group_starts_[group]; k < group_starts_[group + 1]; ++k)
            enter(grouped_[k]);
    for (size_t i = existing_; i < records_.size(); ++i)
        enter(static_cast<uint32_t>(i));
    for (uint32_t i = 0; i < queued_count_; ++i)
        enter(i | queued_flag);
}

void import_batch::expect(size_t items)
{
    // Each item brings the database's items of its group into the table: about two. A count a
    // damaged file claims makes no table beyond 48 MiB before its items are seen.
    expected_entries_ = table_entries_ + 3 * std::min(items, size_t{1} << 20);
    if (2 * expected_entries_ > table_.size())
        grow_table();
}

bool import_batch::add(staged_item&& s, import_summary& summary)
{
    to_line_feeds(s.question);
    to_line_feeds(s.answer);
    compose_canonically(s.question);
    compose_canonically(s.answer);
    for (std::string& name : s.category_path)
        compose_canonically(name);
    using enum exchange_problem_code;
    size_t length = 0;
    text_field field = text_field::question;
    exchange_problem_code problem = check_text(s.question, length);
    if (problem == none) {
        field = text_field::answer;
        problem = check_text(s.answer, length);
    }
    const bool to_queue = target_ == import_target::queue && !s.schedule;
    if (problem == none && to_queue &&
        (s.question.find("</q>") != std::string::npos || s.answer.find("</a>") != std::string::npos))
        problem = text_holds_closing_tag;
    if (problem != none) {
        if (summary.problems.size() < max_listed_problems)
            summary.problems.push_back(
                {.code = problem, .place = s.place, .place_number = s.place_number,
                    .size = problem == text_too_long ? length : 0, .field = field});
        else
            ++summary.problems_not_listed;
        return false;
    }
    const uint32_t path = path_id_of(std::move(s.category_path));
    // The database's items that could equal this one, in any form of its line breaks, join the
    // table first (the table may grow meanwhile, so no slot is taken before).
    std::array<std::string, 3> questions, answers;
    const size_t question_forms = line_break_forms(s.question, questions);
    const size_t answer_forms = line_break_forms(s.answer, answers);
    questions[0] = std::move(s.question);
    answers[0] = std::move(s.answer);
    for (size_t q = 0; q < question_forms; ++q)
        for (size_t a = 0; a < answer_forms; ++a)
            hash_group(group_of(questions[q].size(), answers[a].size(), path));
    for (size_t q = 0; q < question_forms; ++q)
        for (size_t a = 0; a < answer_forms; ++a)
            if (table_[slot_for({questions[q], answers[a], path})] != 0) {
                // The same item is there already: this copy goes.
                ++summary.duplicates;
                return false;
            }
    s.question = std::move(questions[0]);
    s.answer = std::move(answers[0]);
    const size_t slot = slot_for({s.question, s.answer, path});
    paths_[path].used = true;
    if (to_queue) {
        const uint32_t number = new_numbered_pending_item();
        if (queued_count_ == 0)
            queued_first_ = number;
        pending_item* p = pending_record(number);
        p->question = s.question;
        p->answer = s.answer;
        if (queued_paths_.empty() || queued_paths_.back().path != path)
            queued_paths_.push_back({queued_count_, path});
        table_[slot] = (queued_count_++ | queued_flag) + 1;
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
        // Each kept item gets its own id, so that the log and the undo can tell them apart.
        if (e->id == 0 && next_id_ != 0)
            e->id = next_id_++;
        records_.push_back(e);
        record_paths_.push_back(path);
        table_[slot] = static_cast<uint32_t>(records_.size());
    }
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
            summary.problems.push_back({.code = exchange_problem_code::category_not_made, .name = wanted,
                .detail = category_path_text(instead), .limit = max_categories});
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
    table_ = {};  // its memory goes before the records are made
    // Categories are made in the order in which the kept items first name them.
    for (uint32_t path = 0; path < paths_.size(); ++path)
        if (paths_[path].used)
            category_for(path, summary);
    std::vector<item*> made;
    for (size_t i = existing_; i < records_.size(); ++i) {
        auto* e = static_cast<item*>(records_[i]);
        e->ctgr = static_cast<uint16_t>(paths_[record_paths_[i]].category);
        made.push_back(e);
    }
    summary.added += static_cast<uint32_t>(made.size() + queued_count_);
    summary.done = true;
    committed_ = true;
    for (size_t run = 0; run < queued_paths_.size(); ++run) {
        const uint32_t end = run + 1 < queued_paths_.size() ? queued_paths_[run + 1].first : queued_count_;
        const auto ctgr = static_cast<uint16_t>(paths_[queued_paths_[run].path].category);
        for (uint32_t i = queued_paths_[run].first; i < end; ++i) {
            pending_item* p = pending_record(queued_first_ + i);
            p->ctgr = ctgr;
            append_pending(p);
        }
    }
    records_.resize(existing_);
    record_paths_.resize(existing_);
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
