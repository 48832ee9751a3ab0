#include "exchange/export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <charconv>
#include <cstring>

#include "database/database.h"
#include "exchange/byte_scan.h"
#include "exchange/delimited.h"
#include "exchange/import_batch.h"
#include "formats/xml_scan.h"
#include "platform/files.h"
#include "services/log.h"

namespace {

// The bytes of an export on their way to the file, handed over a mebibyte at a time, so that an
// export holds little beyond the database and writes while it makes the rest.
class export_stream {
public:
    // The buffer grows to a chunk only for an export that has one: a few items need no mebibyte.
    explicit export_stream(const std::string& path) : path_(path), file_(path) { out.reserve(size_t{1} << 16); }
    // Hands what is made to the file once there is a chunk of it.
    void flush_if_full()
    {
        if (out.size() >= chunk)
            flush();
    }
    // The rest written and the file put in place; or the reason it is not.
    export_result finish(uint32_t items)
    {
        flush();
        export_result result;
        if (failed_ || !file_.commit()) {
            const int error = write_error_ != 0 ? write_error_ : file_.error() != 0 ? file_.error() : errno != 0 ? errno : EIO;
            result.error = {.code = exchange_problem_code::cannot_write, .path = path_, .os_error = error};
            write_log("ERROR: export to %s failed: %s\n", path_.c_str(), std::strerror(error));
            file_.discard();
            return result;
        }
        result.done = true;
        result.items = items;
        return result;
    }

    std::string out;  // made and not yet handed to the file

private:
    static constexpr size_t chunk = size_t{1} << 20;
    // Written past the stream, and the disk set to work on it at once: the writing overlaps the
    // making of the next chunk, and the sync at the end waits for little more than the last one.
    void flush()
    {
        const int fd = file_.descriptor();
        if (fd < 0)
            fail(file_.error() != 0 ? file_.error() : EBADF);
        for (size_t done = 0; !failed_ && done < out.size();) {
            const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                fail(n < 0 ? errno : ENOSPC);
                break;
            }
            done += static_cast<size_t>(n);
        }
        if (!failed_ && !out.empty()) {
            ::sync_file_range(fd, static_cast<off_t>(offset_), static_cast<off_t>(out.size()), SYNC_FILE_RANGE_WRITE);
            offset_ += out.size();
        }
        out.clear();
    }
    void fail(int error)
    {
        failed_ = true;
        write_error_ = error;
    }
    std::string path_;  // where the export goes
    atomic_file file_;  // the file it is written into, put in place at the end
    bool failed_ = false;  // a write failed
    int write_error_ = 0;  // the errno of the write that failed
    uint64_t offset_ = 0;  // bytes handed to the file so far
};

// Each CR LF of `text` with a second CR before it: the reader takes a CR LF line end for a
// line feed, so the doubled one reads back as the CR LF it was.
std::string with_cr_doubled(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

// The question or answer element of an item so that load_xml gives back exactly `text`; false
// when no writing of it could.
bool append_xml_text(std::string& out, std::string_view t, const char* open, const char* close)
{
    const size_t close_length = std::strlen(close);
    // Most texts are one line without markup: written as they are, without a copy.
    if (!holds_any_of(t, '<', '\n', '\r', '\r')) {
        if (std::strlen(open) + t.size() + close_length + 1 > xml_line_size - 1)
            return false;
        out.append(open).append(t).append(close).push_back('\n');
        return true;
    }
    const size_t first_cdata_end = t.find("]]>");
    const size_t last_close = t.rfind(close);
    std::string inner;
    if (last_close == std::string_view::npos && !t.starts_with("<![CDATA[")) {
        inner = t;
    } else {
        // The section runs to its first "]]>" and the text after it to the first closing tag:
        // the text is cut where the first part holds no "]]>" and the second no closing tag.
        const size_t cut = first_cdata_end == std::string_view::npos ? t.size() : first_cdata_end + 2;
        if (last_close != std::string_view::npos && cut < last_close + 1)
            return false;
        inner.append("<![CDATA[").append(t.substr(0, cut)).append("]]>").append(t.substr(cut));
    }
    if (inner.find("\r\n") != std::string::npos)
        inner = with_cr_doubled(inner);
    // The reader's room counts the bytes as they stand in the file.
    if (t.find('\n') != std::string_view::npos) {
        if (inner.size() + close_length > xml_text_limit)
            return false;
    } else if (std::strlen(open) + inner.size() + close_length + 1 > xml_line_size - 1) {
        return false;
    }
    out.append(open).append(inner).append(close).push_back('\n');
    return true;
}

// The element of a text that cannot be written as it is, with its CR LF line ends as line feeds,
// which the doubled carriage returns made too long; false when even that cannot be read back.
bool append_xml_text_with_line_feeds(std::string& out, std::string_view text, const char* open, const char* close,
    uint32_t& changed)
{
    if (append_xml_text(out, text, open, close))
        return true;
    if (text.find("\r\n") == std::string::npos)
        return false;
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            plain.push_back(text[i]);
    if (!append_xml_text(out, plain, open, close))
        return false;
    ++changed;
    return true;
}

void append_color(std::string& out, const char* name, uint32_t color)
{
    // Only a colour read from XML (0xFF above blue) reads back the same; the others are left
    // for the reader's default.
    if ((color >> 24) != 0xFF)
        return;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %s=\"#%02x%02x%02x\"", name, color & 0xFF, (color >> 8) & 0xFF,
        (color >> 16) & 0xFF);
    out.append(buffer);
}

void append_text_attribute(std::string& out, const char* name, const std::optional<std::string>& value)
{
    if (!value || value->empty())
        return;
    std::string v = value->substr(0, xml_value_size);
    const size_t quote = v.find_first_of("\"\n\r");
    if (quote != std::string::npos)
        v.resize(quote);
    if (!v.empty())
        out.append(" ").append(name).append("=\"").append(v).append("\"");
}

// An item's opening tag with its scheduling, made in one buffer and appended at once: ten
// appends of a name and a number each cost a capacity check and a strlen.
void append_item_tag(std::string& out, const item& e)
{
    char line[256];
    char* at = line;
    const auto put = [&](std::string_view name, uint32_t value) {
        char digits[10];  // the most a uint32_t takes
        const size_t n = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
        std::memcpy(at, name.data(), name.size());
        std::memcpy(at + name.size(), digits, n);
        at += name.size() + n;
        *at++ = '"';
    };
    put("<item id=\"", e.id);
    put(" tmtrpt=\"", e.tmtrpt);
    put(" stmtrpt=\"", e.stmtrpt);
    put(" livl=\"", e.livl);
    put(" rllivl=\"", e.rllivl);
    put(" ivl=\"", e.ivl);
    put(" rp=\"", e.rp);
    put(" gr=\"", e.gr);
    put(" sstick=\"", e.sstick);
    put(" hstick=\"", e.hstick);
    *at++ = '>';
    *at++ = '\n';
    out.append(line, static_cast<size_t>(at - line));
}

struct xml_writer {
    explicit xml_writer(export_stream& to) : stream(to), out(to.out) {}
    export_stream& stream;
    std::string& out;  // the stream's bytes not yet written
    std::vector<std::vector<const item*>> items_of;
    std::vector<std::vector<uint16_t>> children_of;
    exchange_problem error;  // why the writing stopped
    uint32_t written = 0;
    uint32_t line_ends_changed = 0;  // texts written with line feeds for their CR LF

    bool write_category(uint16_t c, int depth)
    {
        if (depth > max_category_depth) {
            error = {.code = exchange_problem_code::categories_too_deep, .limit = static_cast<uint64_t>(max_category_depth)};
            return false;
        }
        const category& k = *db().categories[c];
        out.append("<category name=\"").append(k.name).append("\"");
        append_color(out, "qbgclr", k.qbgclr);
        append_color(out, "abgclr", k.abgclr);
        append_color(out, "qfntclr", k.qfntclr);
        append_color(out, "afntclr", k.afntclr);
        append_text_attribute(out, "qfont", k.qfont);
        append_text_attribute(out, "afont", k.afont);
        append_text_attribute(out, "qimg", k.qimg);
        append_text_attribute(out, "aimg", k.aimg);
        out.append(">\n");
        for (const uint16_t child : children_of[c])
            if (!write_category(child, depth + 1))
                return false;
        const std::vector<const item*>& items = items_of[c];
        for (size_t k = 0; k < items.size(); ++k) {
            // A category's items lie far apart in memory: the next ones are fetched while this
            // one is written, their records first, their texts once the records are there.
            if (k + 32 < items.size())
                __builtin_prefetch(items[k + 32]);
            if (k + 16 < items.size()) {
                __builtin_prefetch(items[k + 16]->question.data());
                __builtin_prefetch(items[k + 16]->answer.data());
            }
            const item* e = items[k];
            append_item_tag(out, *e);
            if (!append_xml_text_with_line_feeds(out, e->question, "<q>", "</q>", line_ends_changed) ||
                !append_xml_text_with_line_feeds(out, e->answer, "<a>", "</a>", line_ends_changed)) {
                error = {.code = exchange_problem_code::item_not_exportable, .name = e->question.substr(0, 60)};
                return false;
            }
            out.append("</item>\n");
            ++written;
            stream.flush_if_full();
        }
        out.append("</category>\n");
        return true;
    }
};

}  // namespace

namespace {

// The names joined by "::", or by "/" when a name holds "::"; `slashes` says which.
std::string joined_category_path(const std::vector<std::string>& names, bool& slashes)
{
    slashes = false;
    for (const std::string& n : names)
        slashes = slashes || n.find("::") != std::string::npos;
    const char* separator = slashes ? "/" : "::";
    std::string path;
    for (const std::string& n : names) {
        if (!path.empty())
            path.append(separator);
        path.append(n);
    }
    return path;
}

}  // namespace

std::string category_path_text(uint16_t c)
{
    bool slashes = false;
    return joined_category_path(category_names_from_top(c), slashes);
}

export_result export_text_file(const std::string& path, bool with_queue)
{
    const database& d = db();
    export_stream stream(path);
    std::string& out = stream.out;
    out = "#separator:tab\n#html:false\n#columns:question\tanswer\tcategory\n#deck column:3\n";
    std::vector<std::string> paths(d.categories.size());
    std::vector<bool> known(d.categories.size(), false);
    uint32_t paths_changed = 0;
    const auto path_of = [&](uint16_t c) -> const std::string& {
        static const std::string none;
        if (c >= paths.size())
            return none;
        if (!known[c]) {
            bool slashes = false;
            const std::vector<std::string> names = category_names_from_top(c);
            paths[c] = joined_category_path(names, slashes);
            // A lone name with a slash would be read as a path: a "::" at its end keeps it whole.
            // Names joined by slashes, as one holds "::", end in one, which tells the reader so.
            if (slashes)
                paths[c].push_back('/');
            else if (paths[c].find("::") == std::string::npos && paths[c].find('/') != std::string::npos)
                paths[c].append("::");
            // Said rather than written silently: such a path reads back as another category.
            if (split_category_path(paths[c]) != names)
                ++paths_changed;
            known[c] = true;
        }
        return paths[c];
    };
    uint32_t count = 0;
    const auto record = [&](std::string_view q, std::string_view a, uint16_t c) {
        append_field(out, q, '\t');
        out.push_back('\t');
        append_field(out, a, '\t');
        out.push_back('\t');
        append_field(out, path_of(c), '\t');
        out.push_back('\n');
        ++count;
        stream.flush_if_full();
    };
    for (const item* e = d.head; e; e = e->next)
        record(e->question, e->answer, e->ctgr);
    if (with_queue)
        for (const pending_item* p = d.pending_head; p; p = p->next)
            record(p->question, p->answer, p->ctgr);
    export_result result = stream.finish(count);
    result.category_paths_changed = paths_changed;
    return result;
}

export_result export_xml(const std::string& path)
{
    const database& d = db();
    export_stream stream(path);
    xml_writer w(stream);
    const size_t count = d.categories.size();
    w.items_of.resize(count);
    w.children_of.resize(count);
    std::vector<uint16_t> top;
    for (size_t c = 0; c < count; ++c) {
        const uint16_t parent = d.categories[c]->parent;
        if (parent == c || parent >= count)
            top.push_back(static_cast<uint16_t>(c));
        else
            w.children_of[parent].push_back(static_cast<uint16_t>(c));
    }
    for (const item* e = d.head; e; e = e->next)
        if (e->ctgr < count)
            w.items_of[e->ctgr].push_back(e);
    char header[160];
    std::snprintf(header, sizeof header,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<cardwright core_version=\"%u\" time_of_start=\"%" PRIu32 "\">\n",
        static_cast<unsigned>(xml_core_version), d.time_of_start);
    w.out.append(header);
    for (const uint16_t t : top) {
        if (!w.write_category(t, 1)) {
            export_result result;
            result.error = w.error;
            write_log("WARNING: export to %s refused: %s\n", path.c_str(), log_text(w.error).c_str());
            return result;
        }
    }
    w.out.append("</cardwright>\n");
    if (w.written != d.item_count) {
        export_result result;
        result.error = {.code = exchange_problem_code::category_table_damaged};
        return result;
    }
    export_result result = stream.finish(w.written);
    result.line_ends_changed = w.line_ends_changed;
    if (result.done && w.line_ends_changed > 0)
        write_log("WARNING: export to %s: %u texts written with line feeds instead of CR LF\n", path.c_str(),
            static_cast<unsigned>(w.line_ends_changed));
    return result;
}
