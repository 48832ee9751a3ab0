#include "exchange/text_import.h"

#include <algorithm>
#include <filesystem>

#include "session/sync.h"
#include "exchange/html_markup.h"
#include "platform/utf.h"
#include "services/log.h"

namespace {

// Stages the records of one text file as they are read, into one batch.
class text_stager {
public:
    text_stager(const text_import_options& options, const text_table& table, import_summary& summary)
        : options_(options), table_(table), summary_(summary),
          batch_(options.target, options.default_category, options.first_grade)
    {
    }

    bool receive(std::vector<std::string>& fields, size_t line)
    {
        if (!header_seen_) {
            header_seen_ = true;
            if (options_.header_row) {
                names_ = table_.column_names.empty() ? fields : table_.column_names;
                return true;
            }
            names_ = table_.column_names;
        }
        if (!columns_) {
            text_table named;
            named.column_names = names_;
            named.category_column = table_.category_column;
            columns_ = columns_for(named, options_);
            html_ = options_.html.value_or(table_.html.value_or(false));
        }
        const auto field = [&](int c) -> std::string {
            if (c < 0 || static_cast<size_t>(c) >= fields.size())
                return {};
            return std::move(fields[static_cast<size_t>(c)]);
        };
        staged_item s;
        s.place = item_place::line;
        s.place_number = line;
        s.question = field(columns_->question);
        s.answer = field(columns_->answer);
        if (html_) {
            s.question = html_to_markup(s.question, keep_name);
            s.answer = html_to_markup(s.answer, keep_name);
        }
        if (columns_->category != no_column)
            s.category_path = split_category_path(field(columns_->category));
        batch_.add(std::move(s), summary_);
        if (options_.progress && ++records_ % 4096 == 0)
            options_.progress(table_.bytes_read, std::max(expected_bytes, table_.bytes_read));
        return true;
    }

    void finish()
    {
        if (!table_.read) {
            summary_ = import_summary{};
            summary_.error = table_.error;
            write_log("WARNING: text import refused: %s\n", log_text(table_.error).c_str());
            return;
        }
        batch_.commit(summary_);
        if (options_.progress)
            options_.progress(1, 1);
    }

    size_t expected_bytes = 0;  // the file's size, when known

private:
    static std::optional<std::string> keep_name(const std::string& name, bool) { return name; }

    const text_import_options& options_;
    const text_table& table_;
    import_summary& summary_;
    import_batch batch_;
    bool header_seen_ = false;
    std::vector<std::string> names_;
    std::optional<column_mapping> columns_;
    bool html_ = false;
    size_t records_ = 0;
};

}  // namespace

column_mapping columns_for(const text_table& table, const text_import_options& options)
{
    if (options.columns)
        return *options.columns;
    return guess_columns(table.column_names, table.category_column, table.other_columns);
}

import_summary import_text(std::string_view text, const text_import_options& options)
{
    import_summary summary;
    text_table table;
    text_stager stager(options, table, summary);
    stager.expected_bytes = text.size();
    parse_text_records(text, options.separator, table,
        [&](std::vector<std::string>& fields, size_t line) { return stager.receive(fields, line); });
    stager.finish();
    return summary;
}

import_summary import_text_file(const std::string& path, const text_import_options& options)
{
    import_summary summary;
    text_table table;
    text_stager stager(options, table, summary);
    std::error_code ignored;
    stager.expected_bytes = static_cast<size_t>(std::filesystem::file_size(path, ignored));
    if (ignored)
        stager.expected_bytes = 0;
    read_text_records(path, options.separator, table,
        [&](std::vector<std::string>& fields, size_t line) { return stager.receive(fields, line); });
    stager.finish();
    if (summary.done)
        sync_note_import(std::filesystem::path(path).filename().string(), summary.added);
    return summary;
}
