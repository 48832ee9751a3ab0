#pragma once
// Delimited text as spreadsheets and other trainers write it: one record a line, fields
// separated by tab, comma or semicolon, quoted as RFC 4180 says, after optional "#key:value"
// header lines.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange_problem.h"
#include "exchange/text_decoding.h"

enum class text_separator { detect, tab, comma, semicolon };

// Bigger files are refused before they are read.
constexpr size_t max_text_file_bytes = size_t{256} << 20;

struct text_table {
    bool read = false;  // false: `error` says why
    exchange_problem error;  // why the file was not read, naming the line
    char separator = '\t';  // as chosen, given by "#separator:" or detected
    std::optional<bool> html;  // "#html:"; none when the file does not say
    std::vector<std::string> column_names;  // "#columns:"; empty when the file does not say
    std::optional<size_t> category_column;  // "#deck column:", counted from 0
    std::vector<size_t> other_columns;  // "#guid column:", "#notetype column:", "#tags column:": no texts
    std::vector<std::vector<std::string>> rows;  // the records, blank lines left out
    std::vector<size_t> row_lines;  // the line on which each record begins, counted from 1
    bool cut_short = false;  // reading stopped at the row limit
    size_t bytes_read = 0;  // of the file so far, for showing progress
    text_encoding encoding = text_encoding::utf8;  // as the file's first bytes told it
};

// `max_rows` limits the records read (a preview); the header lines are always read whole.
// Records end at a line feed, a carriage return or both.
text_table parse_text_table(std::string_view text, text_separator chosen, size_t max_rows = SIZE_MAX);
// The file decoded as text_decoder does, then as parse_text_table reads text.
text_table read_text_table(const std::string& path, text_separator chosen, size_t max_rows = SIZE_MAX);

// One record as read: its fields, and the line on which it begins, counted from 1. The
// receiver may take the fields' texts; false stops the reading.
using record_receiver = std::function<bool(std::vector<std::string>& fields, size_t line)>;
// Reads the file a piece at a time, handing each record on as soon as it is complete, so that
// a large file never stands in memory whole. `table` gets the header lines' settings and, when
// the file cannot be read, the error; its rows stay empty.
void read_text_records(const std::string& path, text_separator chosen, text_table& table, const record_receiver& receive);
// The same for text at hand.
void parse_text_records(std::string_view text, text_separator chosen, text_table& table, const record_receiver& receive);

// One field as a record holds it: quoted when it must be, for the separator given.
void append_field(std::string& out, std::string_view field, char separator);
