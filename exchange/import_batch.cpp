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

std::string dedup_key(const std::string& category, const std::string& question, const std::string& answer)
{
    std::string key;
    key.reserve(category.size() + question.size() + answer.size() + 2);
    key.append(category).push_back('\0');
    key.append(question).push_back('\0');
    key.append(answer);
    return key;
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

import_batch::import_batch(import_target target, uint16_t default_category, uint16_t first_grade)
    : target_(target), default_category_(default_category), first_grade_(first_grade)
{
    const database& d = db();
    existing_keys_.resize(d.categories.size());
    key_known_.assign(d.categories.size(), false);
    if (default_category_ >= d.categories.size())
        default_category_ = 0;
    for (const item* e = d.head; e; e = e->next)
        seen_.insert(dedup_key(path_key_of(e->ctgr), e->question, e->answer));
    for (const pending_item* p = d.pending_head; p; p = p->next)
        seen_.insert(dedup_key(path_key_of(p->ctgr), p->question, p->answer));
}

// The names from the top-level category down to c, so that a category of the file and one
// of the database compare by what add_category would find.
const std::string& import_batch::path_key_of(uint16_t c)
{
    static const std::string none;
    if (c >= existing_keys_.size())
        return none;
    if (!key_known_[c]) {
        std::vector<const std::string*> names;
        walk_up_categories(c, [&](uint32_t at) {
            names.push_back(&db().categories[at]->name);
            return true;
        });
        std::string key;
        for (auto it = names.rbegin(); it != names.rend(); ++it) {
            if (!key.empty())
                key.push_back(key_separator);
            key.append(**it);
        }
        existing_keys_[c] = std::move(key);
        key_known_[c] = true;
    }
    return existing_keys_[c];
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
        summary.problems.push_back(s.where + ": " + problem + "; left out");
        return false;
    }
    std::string category;
    if (s.category_path.empty()) {
        category = path_key_of(default_category_);
    } else {
        for (const std::string& name : s.category_path) {
            if (!category.empty())
                category.push_back(key_separator);
            category.append(name);
        }
    }
    if (!seen_.insert(dedup_key(category, s.question, s.answer)).second) {
        ++summary.duplicates;
        return false;
    }
    items_.push_back({std::move(s), std::move(category)});
    return true;
}

uint16_t import_batch::category_for(const std::vector<std::string>& path, import_summary& summary)
{
    if (path.empty())
        return default_category_;
    std::string key;
    for (const std::string& name : path)
        key.append(name).push_back(key_separator);
    if (const auto found = made_categories_.find(key); found != made_categories_.end())
        return found->second;
    int32_t parent = -1;
    for (const std::string& name : path) {
        if (const int32_t there = category_named(name, parent); there >= 0) {
            parent = there;
            continue;
        }
        if (category_count() >= max_categories) {
            // Its items go into the nearest category of the path that exists, else the default.
            std::string wanted;
            for (const std::string& n : path)
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
    const auto c = static_cast<uint16_t>(parent);
    made_categories_.emplace(std::move(key), c);
    return c;
}

void import_batch::commit(import_summary& summary)
{
    database& d = db();
    const uint16_t today = day_number(0);
    const uint32_t now = time_now();
    std::vector<item*> made;
    for (kept_item& k : items_) {
        if (target_ == import_target::queue && !k.item.schedule) {
            pending_item* p = new_pending_item();
            p->question = std::move(k.item.question);
            p->answer = std::move(k.item.answer);
            p->ctgr = category_for(k.item.category_path, summary);
            append_pending(p);
            continue;
        }
        item* e = new_item();
        e->ctgr = category_for(k.item.category_path, summary);
        e->question = std::move(k.item.question);
        e->answer = std::move(k.item.answer);
        if (const auto& s = k.item.schedule) {
            // An item overdue from before the database's first day is due on that day.
            const int32_t due = std::max<int32_t>(0, int32_t{today} + s->due_in_days);
            e->ivl = std::min(s->ivl, max_interval);
            e->rp = std::min(s->rp, max_repetitions);
            e->gr = std::min<uint16_t>(s->gr, 5);
            e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(std::min<int32_t>(due, 0xFFFF));
            e->id = s->id != 0 ? s->id : now;
        } else {
            e->gr = first_grade_;
            e->ivl = propose_interval(0, 0, 0, first_grade_);
            e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(e->ivl + today);
            e->id = now;
        }
        made.push_back(e);
    }
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
    summary.added += static_cast<uint32_t>(items_.size());
    summary.done = true;
    items_.clear();
}
