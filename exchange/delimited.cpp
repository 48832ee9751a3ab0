#include "exchange/delimited.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
        else if (!quoted && ch == '\n' && --lines == 0)
            break;
        else if (!quoted && ch == c)
            ++count;
    }
    return count;
}

char detect_separator(std::string_view body)
{
    constexpr size_t sample_lines = 20;
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

}  // namespace

text_table parse_text_table(std::string_view text, text_separator chosen, size_t max_rows)
{
    text_table table;
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    // Header lines: "#key:value" before the first record; other "#" lines there are comments.
    size_t line = 1;
    std::optional<char> named_separator;
    std::string columns_line;
    bool has_columns = false;
    while (!text.empty() && text.front() == '#') {
        const size_t end = text.find('\n');
        std::string_view header = text.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
        if (!header.empty() && header.back() == '\r')
            header.remove_suffix(1);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line;
        const size_t colon = header.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string key = ascii_lower(trim(header.substr(0, colon)));
        const std::string_view value = header.substr(colon + 1);
        if (key == "separator") {
            named_separator = separator_named(value);
            if (!named_separator) {
                table.error = "line " + std::to_string(line - 1) + ": the separator \"" + std::string(trim(value)) +
                              "\" is not one this program reads (tab, comma, semicolon, pipe, colon, space)";
                return table;
            }
        } else if (key == "html") {
            const std::string v = ascii_lower(trim(value));
            table.html = v == "true" || v == "yes" || v == "1";
        } else if (key == "columns") {
            columns_line = std::string(value);
            has_columns = true;
        } else if (key == "deck column") {
            const std::string v(trim(value));
            char* stop = nullptr;
            const unsigned long n = std::strtoul(v.c_str(), &stop, 10);
            if (!v.empty() && *stop == '\0' && n >= 1 && n <= 1000)
                table.category_column = n - 1;
        }
    }

    switch (chosen) {
    case text_separator::tab: table.separator = '\t'; break;
    case text_separator::comma: table.separator = ','; break;
    case text_separator::semicolon: table.separator = ';'; break;
    case text_separator::detect: table.separator = named_separator ? *named_separator : detect_separator(text); break;
    }
    if (has_columns)
        table.column_names = split_plain(columns_line, table.separator);

    const char sep = table.separator;
    const char* p = text.data();
    const char* const end = p + text.size();
    std::vector<std::string> record;
    std::string field;
    while (p < end && table.rows.size() < max_rows) {
        const size_t record_line = line;
        record.clear();
        bool record_done = false;
        while (!record_done) {
            field.clear();
            if (p < end && *p == '"') {
                ++p;
                while (true) {
                    const char* quote = static_cast<const char*>(std::memchr(p, '"', static_cast<size_t>(end - p)));
                    if (!quote) {
                        table.error = "line " + std::to_string(record_line) +
                                      ": a quoted field is not closed before the end of the file";
                        table.rows.clear();
                        table.row_lines.clear();
                        return table;
                    }
                    for (const char* q = p; q < quote; ++q) {
                        if (*q == '\n')
                            ++line;
                        if (*q == '\r' && q + 1 < quote && q[1] == '\n')
                            continue;
                        field.push_back(*q);
                    }
                    p = quote + 1;
                    if (p < end && *p == '"') {
                        field.push_back('"');
                        ++p;
                        continue;
                    }
                    break;
                }
                // Text between a closing quote and the separator is kept, as spreadsheets do.
                while (p < end && *p != sep && *p != '\n' && !(*p == '\r' && p + 1 < end && p[1] == '\n'))
                    field.push_back(*p++);
            } else {
                const char* q = p;
                while (q < end && *q != sep && *q != '\n')
                    ++q;
                const char* stop = q;
                if (stop > p && stop[-1] == '\r' && (q == end || *q == '\n'))
                    --stop;
                field.assign(p, stop);
                p = q;
            }
            record.push_back(field);
            if (p < end && *p == sep) {
                ++p;
                continue;
            }
            if (p < end && *p == '\r')
                ++p;
            if (p < end && *p == '\n') {
                ++p;
                ++line;
            }
            record_done = true;
        }
        const bool blank = std::all_of(record.begin(), record.end(), [](const std::string& f) { return f.empty(); });
        if (blank)
            continue;
        table.rows.push_back(record);
        table.row_lines.push_back(record_line);
    }
    table.cut_short = p < end;
    table.read = true;
    return table;
}

text_table read_text_table(const std::string& path, text_separator chosen, size_t max_rows)
{
    text_table table;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        table.error = "cannot open " + path + ": " + std::strerror(errno);
        return table;
    }
    std::string text;
    char buffer[1 << 16];
    while (text.size() <= max_text_file_bytes) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, file);
        if (n == 0)
            break;
        text.append(buffer, n);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        table.error = "cannot read " + path;
        return table;
    }
    if (text.size() > max_text_file_bytes) {
        table.error = path + " is larger than 256 MiB; split it into smaller files";
        return table;
    }
    return parse_text_table(text, chosen, max_rows);
}

void append_field(std::string& out, std::string_view field, char separator)
{
    const bool quote = field.find_first_of(std::string{separator, '"', '\n', '\r'}) != std::string_view::npos ||
                       (!field.empty() && (field.front() == ' ' || field.front() == '#'));
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
