#include "exchange/delimited.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/stat.h>

#include "exchange/byte_scan.h"
#include "exchange/text_decoding.h"
#include "platform/utf.h"

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<char> separator_named(std::string_view value)
{
    const std::string v = ascii_lower(trim(value));
    if (v == "tab" || v == "\t" || value == "\t")
        return '\t';
    if (v == "comma" || v == ",")
        return ',';
    if (v == "semicolon" || v == ";")
        return ';';
    if (v == "pipe" || v == "|")
        return '|';
    if (v == "colon" || v == ":")
        return ':';
    if (v == "space" || (value.size() == 1 && value[0] == ' '))
        return ' ';
    return std::nullopt;
}

// Counts a character outside quotes in the first records, to guess which one separates.
size_t count_outside_quotes(std::string_view text, char c, size_t lines)
{
    size_t count = 0;
    bool quoted = false;
    for (const char ch : text) {
        if (ch == '"')
            quoted = !quoted;
        else if (!quoted && (ch == '\n' || ch == '\r') && --lines == 0)
            break;
        else if (!quoted && ch == c)
            ++count;
    }
    return count;
}

char detect_separator(std::string_view body)
{
    constexpr size_t sample_lines = 40;  // a CR LF counts twice
    const size_t tabs = count_outside_quotes(body, '\t', sample_lines);
    const size_t semicolons = count_outside_quotes(body, ';', sample_lines);
    const size_t commas = count_outside_quotes(body, ',', sample_lines);
    if (tabs > 0)
        return '\t';
    if (semicolons > 0 && semicolons >= commas)
        return ';';
    if (commas > 0)
        return ',';
    return '\t';
}

std::vector<std::string> split_plain(std::string_view line, char separator)
{
    std::vector<std::string> parts;
    size_t from = 0;
    while (true) {
        const size_t at = line.find(separator, from);
        parts.emplace_back(trim(line.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from)));
        if (at == std::string_view::npos)
            break;
        from = at + 1;
    }
    return parts;
}

// How far one step of reading got with the text at hand.
enum class read_step {
    done,  // finished
    need_more,  // the text ends inside what is being read; more of the file is needed
    failed,  // the table's error says why
};

// What the header lines said, for choosing the separator once they are all read.
struct header_lines {
    std::optional<char> named_separator;
    std::string columns_line;
    bool has_columns = false;
};

// The length of the line end at `at` (CR LF, LF or CR), 0 when `at` is no line end.
size_t line_end_length(std::string_view text, size_t at)
{
    if (at >= text.size())
        return 0;
    if (text[at] == '\n')
        return 1;
    if (text[at] == '\r')
        return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    return 0;
}

// "#key:value" lines before the first record; other "#" lines there are comments. The lines
// read are taken off the front of `text`.
read_step read_header(std::string_view& text, bool at_end, text_table& table, size_t& line, header_lines& h)
{
    while (!text.empty() && text.front() == '#') {
        const size_t end = text.find_first_of("\r\n");
        // A CR at the end of the text at hand may be followed by its LF.
        if (!at_end && (end == std::string_view::npos || end + 1 == text.size()))
            return read_step::need_more;
        const std::string_view header = text.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + line_end_length(text, end));
        ++line;
        const size_t colon = header.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string key = ascii_lower(trim(header.substr(0, colon)));
        const std::string_view value = header.substr(colon + 1);
        if (key == "separator") {
            h.named_separator = separator_named(value);
            if (!h.named_separator) {
                table.error = {.code = exchange_problem_code::unknown_separator, .name = std::string(trim(value)),
                    .line = line - 1};
                return read_step::failed;
            }
        } else if (key == "html") {
            const std::string v = ascii_lower(trim(value));
            table.html = v == "true" || v == "yes" || v == "1";
        } else if (key == "columns") {
            h.columns_line = std::string(value);
            h.has_columns = true;
        } else if (key.ends_with(" column")) {
            const std::string v(trim(value));
            char* stop = nullptr;
            const unsigned long n = std::strtoul(v.c_str(), &stop, 10);
            if (v.empty() || *stop != '\0' || n < 1 || n > 1000)
                continue;
            // Other trainers' exports may lead with an identifier and a note type: never a text.
            if (key == "deck column")
                table.category_column = n - 1;
            else if (key == "guid column" || key == "notetype column" || key == "tags column")
                table.other_columns.push_back(n - 1);
        }
    }
    return text.empty() && !at_end ? read_step::need_more : read_step::done;
}

void choose_separator(std::string_view body, text_separator chosen, const header_lines& h, text_table& table)
{
    switch (chosen) {
    case text_separator::tab: table.separator = '\t'; break;
    case text_separator::comma: table.separator = ','; break;
    case text_separator::semicolon: table.separator = ';'; break;
    case text_separator::detect: table.separator = h.named_separator ? *h.named_separator : detect_separator(body); break;
    }
    if (h.has_columns)
        table.column_names = split_plain(h.columns_line, table.separator);
}

// One record from `p`, which moves past it and its line end; `lines` counts the line ends
// passed, quoted ones included. Without `at_end`, a record that reaches the end of the text
// may go on in the next piece: need_more, and `p` stays.
read_step parse_record(const char*& p, const char* end, bool at_end, char sep, std::vector<std::string>& record,
    size_t& lines)
{
    const char* q = p;
    size_t passed = 0;
    size_t fields = 0;
    while (true) {
        if (record.size() <= fields)
            record.emplace_back();
        std::string& field = record[fields++];
        field.clear();
        if (q < end && *q == '"') {
            ++q;
            while (true) {
                const char* quote = static_cast<const char*>(std::memchr(q, '"', static_cast<size_t>(end - q)));
                if (!quote)
                    return at_end ? read_step::failed : read_step::need_more;
                for (const char* c = q; c < quote; ++c) {
                    if (*c == '\r' && c + 1 < quote && c[1] == '\n')
                        continue;
                    passed += *c == '\n' || *c == '\r';
                    field.push_back(*c);
                }
                q = quote + 1;
                if (q == end && !at_end)
                    return read_step::need_more;  // perhaps a doubled quote
                if (q < end && *q == '"') {
                    field.push_back('"');
                    ++q;
                    continue;
                }
                break;
            }
            // Text between a closing quote and the separator is kept, as spreadsheets do.
            while (q < end && *q != sep && *q != '\n' && *q != '\r')
                field.push_back(*q++);
        } else {
            const char* stop = q;
            while (stop < end && *stop != sep && *stop != '\n' && *stop != '\r')
                ++stop;
            field.assign(q, stop);
            q = stop;
        }
        if (q == end && !at_end)
            return read_step::need_more;
        if (q < end && *q == sep) {
            ++q;
            continue;
        }
        if (q < end && *q == '\r') {
            ++q;
            if (q == end && !at_end)
                return read_step::need_more;
            if (q < end && *q == '\n')
                ++q;
            ++passed;
        } else if (q < end && *q == '\n') {
            ++q;
            ++passed;
        }
        break;
    }
    record.resize(fields);
    p = q;
    lines += passed;
    return read_step::done;
}

// The records of `text` handed on one by one; the bytes taken (whole records, unless at_end).
// `stop` is set when the receiver or an unclosed quote ended the reading.
size_t read_records(std::string_view text, bool at_end, text_table& table, size_t& line,
    const record_receiver& receive, std::vector<std::string>& record, bool& stop)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* start = p;
        const size_t record_line = line;
        const read_step step = parse_record(p, end, at_end, table.separator, record, line);
        if (step == read_step::need_more)
            return static_cast<size_t>(start - text.data());
        if (step == read_step::failed) {
            table.error = {.code = exchange_problem_code::quote_not_closed, .line = record_line};
            stop = true;
            return text.size();
        }
        const bool blank = std::all_of(record.begin(), record.end(), [](const std::string& f) { return f.empty(); });
        if (!blank && !receive(record, record_line)) {
            stop = true;
            return static_cast<size_t>(p - text.data());
        }
    }
    return text.size();
}

// The next raw bytes of the file into `piece`, empty at its end; false when it cannot be read.
using piece_source = std::function<bool(std::string& piece)>;

constexpr size_t piece_size = size_t{1} << 20;

// Decodes the pieces and reads the header and the records from them, keeping in memory only
// the records not yet complete.
void read_pieces(const piece_source& next, text_separator chosen, text_table& table, const record_receiver& receive)
{
    text_decoder decoder;
    std::string text;  // decoded, from the first byte not yet taken
    std::string piece;
    size_t taken = 0;
    size_t want = piece_size;
    size_t raw = 0;
    bool at_end = false;
    bool header_done = false;
    header_lines h;
    size_t line = 1;
    std::vector<std::string> record;
    while (true) {
        while (!at_end && text.size() - taken < want) {
            if (!next(piece))
                return;
            raw += piece.size();
            table.bytes_read = raw;
            if (raw > max_text_file_bytes) {
                table.error = {.code = exchange_problem_code::file_too_large, .limit = max_text_file_bytes};
                return;
            }
            text.erase(0, taken);
            taken = 0;
            at_end = piece.empty();
            decoder.decode(piece, at_end, text);
            table.encoding = decoder.encoding();
        }
        std::string_view rest(text);
        rest.remove_prefix(taken);
        if (!header_done) {
            const size_t before = rest.size();
            const read_step step = read_header(rest, at_end, table, line, h);
            taken += before - rest.size();
            if (step == read_step::failed)
                return;
            if (step == read_step::need_more) {
                want = std::max(piece_size, 2 * (text.size() - taken));
                continue;
            }
            choose_separator(rest, chosen, h, table);
            header_done = true;
        }
        bool stop = false;
        const size_t used = read_records(rest, at_end, table, line, receive, record, stop);
        taken += used;
        if (stop || at_end) {
            table.read = !table.error;
            return;
        }
        // A record longer than the text at hand: read as much again at once.
        want = used == 0 ? std::max(piece_size, 2 * (text.size() - taken)) : piece_size;
    }
}

// A receiver that keeps the first `max_rows` records in the table.
record_receiver collect_rows(text_table& table, size_t max_rows)
{
    return [&table, max_rows](std::vector<std::string>& fields, size_t line) {
        if (table.rows.size() >= max_rows) {
            table.cut_short = true;
            return false;
        }
        table.rows.push_back(fields);
        table.row_lines.push_back(line);
        return true;
    };
}

// A table that could not be read holds no rows, not the first ones read.
text_table without_rows_unless_read(text_table table)
{
    if (!table.read) {
        table.rows.clear();
        table.row_lines.clear();
    }
    return table;
}

}  // namespace

void parse_text_records(std::string_view text, text_separator chosen, text_table& table, const record_receiver& receive)
{
    size_t offset = 0;
    read_pieces(
        [&](std::string& piece) {
            const size_t n = std::min(piece_size, text.size() - offset);
            piece.assign(text.substr(offset, n));
            offset += n;
            return true;
        },
        chosen, table, receive);
}

text_table parse_text_table(std::string_view text, text_separator chosen, size_t max_rows)
{
    text_table table;
    parse_text_records(text, chosen, table, collect_rows(table, max_rows));
    return without_rows_unless_read(std::move(table));
}

void read_text_records(const std::string& path, text_separator chosen, text_table& table, const record_receiver& receive)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        table.error = {.code = exchange_problem_code::cannot_open, .path = path, .os_error = errno};
        return;
    }
    // A small file gets a buffer of its own size: most files are far smaller than a piece.
    struct stat st {};
    const size_t room = ::fstat(fileno(file), &st) == 0 && st.st_size >= 0
                            ? std::min(piece_size, static_cast<size_t>(st.st_size) + 1)
                            : piece_size;
    const std::unique_ptr<char[]> buffer(new char[room]);
    read_pieces(
        [&](std::string& piece) {
            const size_t n = std::fread(buffer.get(), 1, room, file);
            piece.assign(buffer.get(), n);
            if (n == 0 && std::ferror(file)) {
                table.error = {.code = exchange_problem_code::cannot_read, .path = path, .os_error = errno};
                return false;
            }
            return true;
        },
        chosen, table, receive);
    std::fclose(file);
}

text_table read_text_table(const std::string& path, text_separator chosen, size_t max_rows)
{
    text_table table;
    read_text_records(path, chosen, table, collect_rows(table, max_rows));
    return without_rows_unless_read(std::move(table));
}

void append_field(std::string& out, std::string_view field, char separator)
{
    const bool quote = (!field.empty() && (field.front() == ' ' || field.front() == '#')) ||
                       holds_any_of(field, separator, '"', '\n', '\r');
    if (!quote) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (const char c : field) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}
