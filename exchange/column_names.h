#pragma once
// What a text file's column names say: which column holds the question, the answer and the
// category, and whether the first record is a row of such names rather than an item.
#include <string_view>
#include <vector>

#include "exchange/delimited.h"
#include "exchange/text_import.h"

// What a column's name says it holds.
enum class column_role {
    unknown,  // a name of no known role, or no name
    question,  // "Question", "Front", "Frage", ...
    answer,  // "Answer", "Back", "Antwort", ...
    category,  // "Category", "Deck", "Kategorie", "Tags", ...
};

// The role a name gives its column, whatever its case and surrounding blanks.
column_role role_of_column_name(std::string_view name);

// How a file's columns are proposed to the user before an import.
struct column_proposal {
    bool header_row = false;  // the first record names the columns and holds no item
    column_mapping columns;  // the columns the names (or, without names, the order) suggest
};

// From the table's "#columns:" line when it has one; otherwise the first record is taken for
// names when at least two of its fields name different roles (a word list's first item rarely
// does), and the columns follow those names.
column_proposal propose_columns(const text_table& table);
