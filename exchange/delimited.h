#pragma once
// Delimited text as spreadsheets and other trainers write it: one record a line, fields
// separated by tab, comma or semicolon, quoted as RFC 4180 says, after optional "#key:value"
// header lines.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class text_separator { detect, tab, comma, semicolon };

// Bigger files are refused before they are read.
constexpr size_t max_text_file_bytes = size_t{256} << 20;

struct text_table {
    bool read = false;  // false: `error` says why
    std::string error;  // for the user, naming the line
    char separator = '\t';  // as chosen, given by "#separator:" or detected
    std::optional<bool> html;  // "#html:"; none when the file does not say
    std::vector<std::string> column_names;  // "#columns:"; empty when the file does not say
    std::optional<size_t> category_column;  // "#deck column:", counted from 0
    std::vector<std::vector<std::string>> rows;  // the records, blank lines left out
    std::vector<size_t> row_lines;  // the line on which each record begins, counted from 1
    bool cut_short = false;  // reading stopped at the row limit
};

// `max_rows` limits the records read (a preview); the header lines are always read whole.
text_table parse_text_table(std::string_view text, text_separator chosen, size_t max_rows = SIZE_MAX);
text_table read_text_table(const std::string& path, text_separator chosen, size_t max_rows = SIZE_MAX);

// One field as a record holds it: quoted when it must be, for the separator given.
void append_field(std::string& out, std::string_view field, char separator);
