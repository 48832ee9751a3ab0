#pragma once
// Items from delimited text files: spreadsheets' CSV and other trainers' text exports.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/delimited.h"
#include "exchange/import_batch.h"

constexpr int no_column = -1;

// Which field of a record holds what, counted from 0.
struct column_mapping {
    int question = 0;
    int answer = 1;
    int category = no_column;  // a path like "Deutsch::Verben"; no_column: the default category
};

struct text_import_options {
    text_separator separator = text_separator::detect;
    bool header_row = false;  // the first record names the columns and holds no item
    std::optional<column_mapping> columns;  // none: as "#columns:" names them, else the first two
    std::optional<bool> html;  // none: as the file's "#html:" says, else the program's own markup
    import_target target = import_target::queue;
    uint16_t default_category = 0;  // for items without a category of their own
    uint16_t first_grade = 3;  // of new items put straight into learning
    std::function<void(size_t done, size_t total)> progress;  // may be empty
};

// The mapping the names of a header suggest (question/front, answer/back, category/deck; see
// exchange/column_names.h).
column_mapping guess_columns(const std::vector<std::string>& names, const std::optional<size_t>& category_column,
    const std::vector<size_t>& other_columns = {});
// The mapping an import with these options uses for this table.
column_mapping columns_for(const text_table& table, const text_import_options& options);

import_summary import_text_file(const std::string& path, const text_import_options& options);
// The same for text already read, as the fuzz harness and the benchmark give it.
import_summary import_text(std::string_view text, const text_import_options& options);
