#pragma once
// Taking the database out: as tab-separated text for spreadsheets and other trainers, and as
// the XML form of the database that load_xml reads back.
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/exchange_problem.h"

struct export_result {
    bool done = false;  // false: the file was not written (an older one at the path stays)
    exchange_problem error;  // why, when it was not written
    uint32_t items = 0;  // items written
    uint32_t line_ends_changed = 0;  // XML: texts near the length limit whose CR LF became LF
    // Text: categories whose path a text file cannot hold as it is (a name with "::" beside one
    // with "/", blanks at a name's ends); their items read back under another path.
    uint32_t category_paths_changed = 0;
};

// The scheduled items, and the queue's when `with_queue`, one a record: question, answer and
// the category path ("Deutsch::Verben"), after the "#" header lines that name the columns.
export_result export_text_file(const std::string& path, bool with_queue);
// The categories with their colours, fonts and pictures, and the scheduled items with all
// their scheduling, in the current XML form.
export_result export_xml(const std::string& path);

// The category's names from its top-level category down, joined by "::", or by "/" when a
// name holds "::".
std::string category_path_text(uint16_t c);
