#include "formats/queue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "database/database.h"
#include "services/log.h"
#include "services/paths.h"
#include "formats/xml_scan.h"
#include "platform/files.h"

size_t copy_without_cr(char* destination, const char* source)
{
    size_t n = 0;
    for (; *source != '\0'; ++source)
        if (*source != '\r')
            destination[n++] = *source;
    destination[n] = '\0';
    return n;
}

namespace {

enum class queue_state { idle, in_question, awaiting_answer, in_answer };

bool starts_with(const char* line, const char* prefix) { return std::strncmp(line, prefix, std::strlen(prefix)) == 0; }

class queue_reader {
public:
    queue_reader(const char* path, uint16_t default_category) : path_(path), default_category_(default_category) {}

    // `length` is the piece's true length, NUL bytes in it included.
    void handle(char* line, size_t length, unsigned long line_number);
    // At the file's end: an item still open is kept as it stands rather than lost.
    void finish()
    {
        if (state_ == queue_state::idle)
            return;
        write_log("WARNING: the item at line %lu of %s is not complete at the end of the file; it is kept in the "
                  "file as it is, but not offered.\n",
            item_line_, path_);
        keep_raw(true);
        state_ = queue_state::idle;
    }

private:
    void begin_text(const char* rest)
    {
        length_ = 0;
        append(rest);
    }
    // A continuation line goes in without its carriage returns, as far as the room allows.
    void append(const char* part)
    {
        if (dropping_)
            return;
        size_t needed = 0;
        for (const char* p = part; *p != '\0'; ++p)
            needed += *p != '\r';
        if (length_ + needed > queue_text_limit) {
            drop_item();
            return;
        }
        length_ += copy_without_cr(text_ + length_, part);
    }
    // The collected lines and the part of the closing line before its tag.
    void finish_text(const char* part, size_t n, std::string* into)
    {
        if (dropping_)
            return;
        if (length_ + n > queue_text_limit) {
            drop_item();
            return;
        }
        into->assign(text_, length_).append(part, n);
    }
    void drop_item()
    {
        dropping_ = true;
        write_log("WARNING: the item at line %lu of %s has a question or answer longer than %zu bytes; it is "
                  "kept in the file as it is, but not offered.\n",
            item_line_, path_, queue_text_limit);
    }
    void keep_raw(bool unterminated)
    {
        kept_queue_text kept;
        kept.ctgr = current_ >= 0 || default_category_ == 0 ? current_ : default_category_;
        kept.lines = std::move(raw_);
        kept.unterminated = unterminated;
        db().kept_queue.push_back(std::move(kept));
        raw_.clear();
    }
    void complete_item()
    {
        state_ = queue_state::idle;
        if (dropping_) {
            dropping_ = false;
            keep_raw(false);
            return;
        }
        // Dropping the carriage returns of a continuation line can join a closing tag ("<\r/q>")
        // inside the text; written back, that tag would end the text early and the item would
        // swallow or split its neighbours.
        if (question_.find("</q>") != std::string::npos || answer_.find("</a>") != std::string::npos) {
            write_log("WARNING: the item at line %lu of %s holds a closing tag inside its text; it is kept in the "
                      "file as it is, but not offered.\n",
                item_line_, path_);
            keep_raw(false);
            return;
        }
        raw_.clear();
        pending_item* record = new_pending_item();
        record->question = question_;
        record->answer = answer_;
        record->ctgr = current_ < 0 ? default_category_ : static_cast<uint16_t>(current_);
        append_pending(record);
    }

    const char* path_;
    uint16_t default_category_;
    std::string question_;  // the current item's texts, reused from item to item
    std::string answer_;
    queue_state state_ = queue_state::idle;
    int32_t current_ = -1;
    bool dropping_ = false;
    unsigned long item_line_ = 0;
    size_t length_ = 0;
    char text_[queue_text_limit + 1] = {};
    std::string raw_;  // the current item's lines as read, in case it cannot be taken
};

void queue_reader::handle(char* line, size_t length, unsigned long line_number)
{
    // Kept lines are written back byte for byte: a NUL byte must not cut off the rest of a line.
    if (state_ != queue_state::idle)
        raw_.append(line, length);
    switch (state_) {
    case queue_state::idle:
        if (line[0] != '<')
            return;
        if (starts_with(line, "</category>")) {
            current_ = pop_category();
        } else if (starts_with(line, "<category name=\"")) {
            const char* from = line + std::strlen("<category name=\"");
            char name[MAX_CTGR_LEN];
            size_t n = 0;
            while (n < sizeof name - 1 && from[n] != '\0' && from[n] != '"' && from[n] != '\r' && from[n] != '\n') {
                name[n] = from[n];
                ++n;
            }
            name[n] = '\0';
            current_ = push_category(name);
        } else if (line[1] == 'q' && line[2] == '>') {
            item_line_ = line_number;
            raw_.assign(line, length);
            const char* rest = line + 3;
            if (const char* end = std::strstr(rest, "</q>")) {
                question_.assign(rest, end);
            } else {
                begin_text(rest);
                state_ = queue_state::in_question;
                return;
            }
            state_ = queue_state::awaiting_answer;
        }
        return;
    case queue_state::in_question:
        if (const char* end = std::strstr(line, "</q>")) {
            finish_text(line, static_cast<size_t>(end - line), &question_);
            state_ = queue_state::awaiting_answer;
        } else {
            append(line);
        }
        return;
    case queue_state::awaiting_answer:
        if (line[0] != '<' || line[1] != 'a' || line[2] != '>')
            return;
        if (const char* end = std::strstr(line + 3, "</a>")) {
            if (!dropping_)
                answer_.assign(static_cast<const char*>(line + 3), end);
            complete_item();
        } else {
            begin_text(line + 3);
            state_ = queue_state::in_answer;
        }
        return;
    case queue_state::in_answer:
        if (const char* end = std::strstr(line, "</a>")) {
            finish_text(line, static_cast<size_t>(end - line), &answer_);
            complete_item();
        } else {
            append(line);
        }
        return;
    }
}

// The file's lines as fgets with a queue_line_size buffer would cut them (a longer line comes in
// pieces), each with its true length, NUL bytes included; read in large blocks, so a line costs
// no system call.
class line_source {
public:
    explicit line_source(FILE* file) : file_(file), block_(std::make_unique_for_overwrite<char[]>(block_size)) {}
    // The next line's length, 0 at the end; the line is line(), terminated.
    size_t next()
    {
        constexpr size_t most = queue_line_size - 1;
        if (end_ - at_ < most && !eof_)
            refill();
        const size_t available = std::min(end_ - at_, most);
        if (available == 0)
            return 0;
        const char* const from = block_.get() + at_;
        const void* newline = std::memchr(from, '\n', available);
        const size_t n = newline ? static_cast<size_t>(static_cast<const char*>(newline) - from) + 1 : available;
        std::memcpy(line_, from, n);
        line_[n] = '\0';
        at_ += n;
        return n;
    }
    char* line() { return line_; }

private:
    void refill()
    {
        std::memmove(block_.get(), block_.get() + at_, end_ - at_);
        end_ -= at_;
        at_ = 0;
        while (end_ < block_size) {
            const size_t got = std::fread(block_.get() + end_, 1, block_size - end_, file_);
            end_ += got;
            if (got == 0) {
                eof_ = true;
                break;
            }
        }
    }

    static constexpr size_t block_size = size_t{1} << 20;
    FILE* file_;
    std::unique_ptr<char[]> block_;
    size_t at_ = 0;  // the next unread byte of block_
    size_t end_ = 0;  // the bytes block_ holds
    bool eof_ = false;
    char line_[queue_line_size] = {};
};

}  // namespace

uint32_t add_queue_from_file(const char* path, uint16_t default_category)
{
    FILE* file = std::fopen(path, "r");
    if (!file)
        return 0;
    const uint32_t before = pending_count();
    {
        queue_reader reader(path, default_category);
        line_source source(file);
        unsigned long line_number = 0;
        bool at_line_start = true;
        bool first = true;
        size_t length = 0;
        while ((length = source.next()) > 0) {
            char* const line = source.line();
            if (first) {
                const size_t before_bom = std::strlen(line);
                skip_utf8_bom(line);
                length -= before_bom - std::strlen(line);
                reset_category_stack();
                first = false;
            }
            if (at_line_start)
                ++line_number;
            at_line_start = length > 0 && line[length - 1] == '\n';
            reader.handle(line, length, line_number);
        }
        reader.finish();
    }
    report_refused_categories();
    fclose_logged(file, path);
    return pending_count() - before;
}

int load_queue()
{
    free_pending_list();
    return static_cast<int>(add_queue_from_file(data_path("queue.txt"), 0));
}

namespace {

constexpr char queue_header[] =
    "queue.txt\n"
    "Here are items (if any) that are waiting for introduction into learning process.\n"
    "Lines that don't begin with <q>, <a> or <category\n"
    "are ignored (unless a tag is already opened).\n"
    "Cardwright DELETES element taken from this file (so it goes to the learning process only once).\n"
    "Format:\n"
    "\t<q>Question?</q>\n"
    "\t<a>An answer!</a>\n"
    "\n"
    "\t<q>questions\n"
    "\tand answers</q>\n"
    "\t<a>can\n"
    "\tbe\n"
    "\tmulti-line</q>\n"
    "\n"
    "\t<category name=\"blah\">\n"
    "\titem(s) here\n"
    "\t</category>\n"
    "\n"
    "Items without category go into default category (i.e. the first category that is listed in any dialog "
    "with categories).\n"
    "This file should be saved using UTF-8 encoding.\n"
    "\n";

// What one save needs: which categories hold something to write, the written flags, and each
// category's children, items and kept texts gathered in one pass, so that large tables are not
// walked once per category.
struct queue_writer {
    FILE* file;
    std::vector<char> has_content;  // the category or one below it holds an item or kept text
    std::vector<char> written;
    std::vector<std::vector<uint16_t>> children;
    std::vector<std::vector<const pending_item*>> items;
    std::vector<std::vector<const kept_queue_text*>> kept;
};

void write_text(FILE* file, std::string_view text) { std::fwrite(text.data(), 1, text.size(), file); }

void write_item(FILE* file, const pending_item& p)
{
    std::fputs("<q>", file);
    write_text(file, p.question);
    std::fputs("</q>\n<a>", file);
    write_text(file, p.answer);
    std::fputs("</a>\n\n", file);
}

void write_kept(FILE* file, const kept_queue_text& k)
{
    write_text(file, k.lines);
    if (!k.lines.empty() && k.lines.back() != '\n')
        std::fputc('\n', file);
}

void open_category_element(FILE* file, uint16_t c)
{
    std::fputs("<category name=\"", file);
    write_text(file, category_at(c)->name);
    std::fputs("\">\n\n", file);
}

void close_category_element(queue_writer& w, uint16_t c)
{
    for (const pending_item* p : w.items[c])
        write_item(w.file, *p);
    for (const kept_queue_text* k : w.kept[c])
        write_kept(w.file, *k);
    w.written[c] = 1;
    std::fputs("</category>\n\n", w.file);
}

// Writes c with its subcategories (before its own items), depth first. An explicit stack keeps
// a very deep category tree from exhausting the call stack.
void save_queue_category(queue_writer& w, uint16_t c)
{
    struct frame {
        uint16_t category;
        size_t next_child;
    };
    std::vector<frame> open{{c, 0}};
    open_category_element(w.file, c);
    while (!open.empty()) {
        const uint16_t current = open.back().category;
        const std::vector<uint16_t>& children = w.children[current];
        size_t& next = open.back().next_child;
        while (next < children.size() && (!w.has_content[children[next]] || w.written[children[next]]))
            ++next;
        if (next < children.size()) {
            const uint16_t child = children[next++];
            open_category_element(w.file, child);
            open.push_back({child, 0});
            continue;
        }
        close_category_element(w, current);
        open.pop_back();
    }
}

// Marks c and each category above it that is not marked yet.
void mark_with_parents(std::vector<char>& marks, uint32_t c)
{
    walk_up_categories(c, [&](uint32_t k) {
        if (marks[k])
            return false;
        marks[k] = 1;
        return true;
    });
}

// An item that the file's end cut off goes last, inside the elements of its category's path
// left open: anything written after it would be read into it.
void write_unterminated(FILE* file, const kept_queue_text& k, uint16_t count)
{
    std::vector<uint16_t> path;
    if (k.ctgr >= 0 && k.ctgr < count)
        walk_up_categories(static_cast<uint32_t>(k.ctgr), [&](uint32_t c) {
            path.push_back(static_cast<uint16_t>(c));
            return true;
        });
    for (size_t i = path.size(); i-- > 0;)
        open_category_element(file, path[i]);
    write_kept(file, k);
}

}  // namespace

bool write_queue(FILE* file)
{
    const database& d = db();
    const uint16_t count = category_count();
    queue_writer w{file, std::vector<char>(count, 0), std::vector<char>(count, 0),
        std::vector<std::vector<uint16_t>>(count), std::vector<std::vector<const pending_item*>>(count),
        std::vector<std::vector<const kept_queue_text*>>(count)};
    for (uint16_t i = 0; i < count; ++i) {
        const uint16_t parent = category_at(i)->parent;
        if (parent != i && parent < count)
            w.children[parent].push_back(i);
    }
    for (const pending_item* p = d.pending_head; p; p = p->next)
        if (p->ctgr < count) {
            w.items[p->ctgr].push_back(p);
            mark_with_parents(w.has_content, p->ctgr);
        }
    for (const kept_queue_text& k : d.kept_queue)
        if (!k.unterminated && k.ctgr >= 0 && k.ctgr < count) {
            w.kept[k.ctgr].push_back(&k);
            mark_with_parents(w.has_content, static_cast<uint32_t>(k.ctgr));
        }

    std::fputs(queue_header, w.file);
    for (uint16_t i = 0; i < count; ++i)
        if (!w.written[i] && category_at(i)->parent == i && w.has_content[i])
            save_queue_category(w, i);
    // An item whose category no top-level category reaches (a damaged table) would otherwise
    // vanish from the file; outside any element it comes back in the default category.
    for (const pending_item* p = d.pending_head; p; p = p->next)
        if (p->ctgr >= count || !w.written[p->ctgr])
            write_item(w.file, *p);
    for (const kept_queue_text& k : d.kept_queue)
        if (!k.unterminated && (k.ctgr < 0 || k.ctgr >= count || !w.written[k.ctgr]))
            write_kept(w.file, k);
    for (const kept_queue_text& k : d.kept_queue)
        if (k.unterminated)
            write_unterminated(w.file, k, count);
    return !std::ferror(file);
}

queue_save_status save_queue()
{
    const std::string path = data_path("queue.txt");
    if (path.empty())
        return queue_save_status::not_written;
    atomic_file out(path);
    if (!out.stream()) {
        write_log("ERROR: can't open queue.txt file for writing.\n");
        return queue_save_status::not_written;
    }
    if (!write_queue(out.stream()) || !out.commit()) {
        write_log("ERROR: can't open queue.txt file for writing.\n");
        return queue_save_status::not_written;
    }
    return queue_save_status::done;
}
