#include "exchange/text_import.h"

#include "exchange/html_markup.h"
#include "platform/utf.h"
#include "services/log.h"

namespace {

// Line ends inside a field become line feeds, as the database stores them.
std::string without_cr(std::string text)
{
    size_t out = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        text[out++] = text[i] == '\r' ? '\n' : text[i];
    }
    text.resize(out);
    return text;
}

import_summary import_table(text_table table, const text_import_options& options)
{
    import_summary summary;
    if (!table.read) {
        summary.error = table.error;
        write_log("WARNING: text import refused: %s\n", table.error.c_str());
        return summary;
    }
    size_t first = 0;
    if (options.header_row && !table.rows.empty()) {
        if (table.column_names.empty())
            table.column_names = table.rows[0];
        first = 1;
    }
    const column_mapping columns = columns_for(table, options);
    const bool html = options.html.value_or(table.html.value_or(false));
    const media_resolver keep_name = [](const std::string& name, bool) -> std::optional<std::string> { return name; };

    import_batch batch(options.target, options.default_category, options.first_grade);
    const size_t total = table.rows.size() - first;
    for (size_t r = first; r < table.rows.size(); ++r) {
        std::vector<std::string>& row = table.rows[r];
        const auto field = [&](int c) -> std::string {
            if (c < 0 || static_cast<size_t>(c) >= row.size())
                return {};
            return without_cr(std::move(row[static_cast<size_t>(c)]));
        };
        staged_item s;
        s.where = "line " + std::to_string(table.row_lines[r]);
        s.question = field(columns.question);
        s.answer = field(columns.answer);
        if (html) {
            s.question = html_to_markup(s.question, keep_name);
            s.answer = html_to_markup(s.answer, keep_name);
        }
        if (columns.category != no_column)
            s.category_path = split_category_path(field(columns.category));
        batch.add(std::move(s), summary);
        if (options.progress && (r - first) % 4096 == 0)
            options.progress(r - first, total);
    }
    batch.commit(summary);
    if (options.progress)
        options.progress(total, total);
    return summary;
}

}  // namespace

column_mapping guess_columns(const std::vector<std::string>& names, const std::optional<size_t>& category_column)
{
    column_mapping m;
    int question = no_column;
    int answer = no_column;
    int category = no_column;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string n = ascii_lower(names[i]);
        const int c = static_cast<int>(i);
        if (question == no_column && (n == "question" || n == "front" || n == "q"))
            question = c;
        else if (answer == no_column && (n == "answer" || n == "back" || n == "a"))
            answer = c;
        else if (category == no_column && (n == "category" || n == "deck" || n == "categories"))
            category = c;
    }
    if (question != no_column)
        m.question = question;
    if (answer != no_column)
        m.answer = answer;
    else if (question != no_column)
        m.answer = question == 0 ? 1 : 0;
    m.category = category;
    if (category_column)
        m.category = static_cast<int>(*category_column);
    return m;
}

column_mapping columns_for(const text_table& table, const text_import_options& options)
{
    if (options.columns)
        return *options.columns;
    return guess_columns(table.column_names, table.category_column);
}

import_summary import_text(std::string_view text, const text_import_options& options)
{
    return import_table(parse_text_table(text, options.separator), options);
}

import_summary import_text_file(const std::string& path, const text_import_options& options)
{
    text_table table = read_text_table(path, options.separator);
    return import_table(std::move(table), options);
}
