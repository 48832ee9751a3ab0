#pragma once
// Pieces shared by the line scanners of elements.xml (both forms) and queue.txt: the stack of
// open category elements, number, colour and text extraction, and the item content steps.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "database/database.h"
#include "formats/xml.h"

constexpr size_t xml_line_size = 16384;  // a longer line arrives in pieces of 16,383 bytes
constexpr size_t xml_value_size = 128;   // bytes kept of a category name or text attribute
constexpr size_t xml_text_room = 8192;   // room of a question or answer that spans lines
constexpr size_t xml_text_limit = xml_text_room - 1;
constexpr int max_category_depth = 63;

// The open category elements of the file being read, innermost last. Entry 0 is -1, "no
// enclosing category". Elements nested deeper than max_category_depth are counted in `depth`
// but share the innermost entry, so that their closing tags still pair up.
struct category_stack {
    int32_t entries[max_category_depth + 1] = {-1};
    int64_t depth = 0;
    bool overflow_reported = false;
};

// The process-wide state of the text formats.
struct formats_state {
    category_stack stack;
};

formats_state& formats();

void reset_category_stack();
// Looks up or creates `name` under the innermost open category and makes it the innermost.
int32_t push_category(const char* name);
// Closes the innermost category; the one that encloses it, or -1.
int32_t pop_category();

// The first decimal number in `text`, modulo 2^32; 0 (with a warning) when there is none.
uint32_t read_a_number(const char* text);

// The numbers an item's attributes hold, in the order both forms of the file write them.
enum class item_field { tmtrpt, stmtrpt, livl, rllivl, ivl, rp, gr, sstick, hstick };
// Stores `value` into the field; repetitions beyond 127 are held at 127.
void set_item_field(item& e, item_field field, uint32_t value);
// `tag` when it is the first '<' of `text`, else null.
const char* find_first_tag(const char* text, const char* tag);
// "#rrggbb" (any mark byte) as 0xFFbbggrr.
uint32_t parse_color(const char* value);
// Drops a UTF-8 byte-order mark from the start of `line`.
void skip_utf8_bom(char* line);

// strstr, quicker for the scanners' usual case: the needle stands at one of the next few
// occurrences of its first byte (attributes one after another, a line's first tags).
char* find_text(char* text, const char* needle);

// fgets that turns a CRLF line end into LF, so that files saved on other systems give the
// same texts.
char* read_line(char* buffer, size_t size, FILE* file);

// Copies an attribute value up to its closing quote or the line end, at most xml_value_size
// bytes, and terminates it. Returns the number of bytes taken.
size_t copy_value(char (&value)[xml_value_size + 1], const char* from);

// The question or answer that starts at `text` and ends at the closing `tag`, reading further
// lines of `file` as needed; `text` must have xml_text_room bytes of room. The result, with a
// CDATA wrapper removed, is in place at `text`; null (after a log line) on failure. With `cut`
// given, a text longer than xml_text_limit is not a failure: its first bytes up to that limit
// (at a UTF-8 boundary) are kept, the rest is read past up to the closing tag, and *cut is set.
// With `rest` given, it receives where the line goes on after the closing tag (null for a cut text).
char* extract_cdata(char* text, FILE* file, const char* tag, bool* cut = nullptr, char** rest = nullptr);

// The tags of a question and an answer, which differ between the two XML forms.
struct xml_item_tags {
    const char* question_open;
    const char* question_close;
    const char* answer_open;
    const char* answer_close;
};

enum class item_content { none, text, end, question_failed, answer_failed };

// The content steps of an item's line from `pos` (inside the line buffer `line`): a question,
// an answer or the end of the item. Texts go into `record` unless it is null.
item_content read_item_content(char* line, char* pos, FILE* file, const xml_item_tags& tags, item* record);

// How reading the header ended: with time_of_start read, or as one of the readers decides.
enum class header_result { complete, old_form, refused, ended };

// Reads header lines up to " time_of_start=" (stored in the database), past a byte-order mark
// and comments. The root is "<cardwright", else "<cardix"; `on_root` learns which (true for
// "<cardix") and `on_version` the core version; each returns header_result::complete to go on,
// or the result that ends the header there. Returns header_result::ended when the file ends.
header_result scan_header(char* line, FILE* file, const std::function<header_result(bool old_root)>& on_root,
    const std::function<header_result(uint32_t version)>& on_version);

// Gives up a read after an unreadable question or answer: nothing read so far stays.
xml_load_status abandon_xml_read(FILE* file, const char* path, item* unfinished, item_content failure);
// Ends an item without " id=": logged once, its lines are passed over.
void report_item_without_id(FILE* file);

// The core version of this program: files of a newer one are refused.
constexpr uint32_t xml_core_version = 12;
// The refusal of a file saved by a newer core version.
void report_newer_version(uint32_t version);

// What one read of an elements.xml knows while it goes: the category that items go into, and
// whether the current item named its category itself.
struct xml_read_state {
    uint16_t current = 0;
    bool ctgr_seen = false;
};

// The description of one form of elements.xml that drives the one reader loop.
struct xml_form {
    xml_item_tags tags;
    const char* const* attributes;  // the item's attributes in the order searched, " id=" first
    int attribute_count;
    // A value after its attribute name (all but the id): stores it into `record`, which may be
    // null, and returns where the scan goes on.
    char* (*read_attribute)(char* pos, int order, item* record, xml_read_state& state);
    // A <category element from just after its tag; null when the rest of the line is ignored.
    char* (*read_category)(char* pos, xml_read_state& state);
    bool nested_categories;  // "</category>" closes the innermost category element
    void (*item_ended)(xml_read_state& state);  // may be null
    const char* missing_end_warning;  // logged when "</cardwright>" never came
};

// Reads the items and categories of an open elements.xml after its header, by `form`, and
// closes it.
xml_load_status read_xml_items(FILE* file, const char* path, const xml_form& form);
// The start both forms share: an empty table and list, the file opened. Null when it cannot be.
FILE* open_xml_file(const char* path);
