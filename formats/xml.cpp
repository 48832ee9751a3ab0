#include "formats/xml.h"

#include <cstring>
#include <optional>
#include <string>

#include "database/database.h"
#include "services/log.h"
#include "formats/xml_scan.h"

namespace {

constexpr uint32_t core_version = 12;
constexpr uint32_t last_old_version = 10;
constexpr int item_attribute_count = 10;

constexpr const char* item_attributes[item_attribute_count] = {
    " id=", " tmtrpt=", " stmtrpt=", " livl=", " rllivl=", " ivl=", " rp=", " gr=", " sstick=", " hstick=",
};

constexpr xml_item_tags current_tags = {"<q>", "</q>", "<a>", "</a>"};

struct colour_attribute {
    const char* text;
    uint32_t category::*field;
};
constexpr colour_attribute colour_attributes[] = {
    {" qbgclr=\"", &category::qbgclr},
    {" abgclr=\"", &category::abgclr},
    {" qfntclr=\"", &category::qfntclr},
    {" afntclr=\"", &category::afntclr},
};

struct text_attribute {
    const char* text;
    std::optional<std::string> category::*field;
};
constexpr text_attribute text_attributes[] = {
    {" qfont=\"", &category::qfont},
    {" afont=\"", &category::afont},
    {" qimg=\"", &category::qimg},
    {" aimg=\"", &category::aimg},
};

header_result read_header(char* line, FILE* file, const char* path)
{
    const char* const old_form = "WARNING: old (pre CW-1-3) elements.xml file detected, will read using old routines\n";
    const header_result result = scan_header(
        line, file,
        [&](bool old_root) {
            // Only the old form was ever written with this root; without the hand-over such a
            // file could never be read.
            if (!old_root)
                return header_result::complete;
            write_log("%s", old_form);
            return header_result::old_form;
        },
        [&](uint32_t version) {
            if (version <= last_old_version) {
                write_log("%s", old_form);
                return header_result::old_form;
            }
            if (version > core_version) {
                write_log("ERROR: your 'Cardwright core version'=%d, while elements.xml file I'm just reading was "
                          "saved using %d version. I'm not prepared to this version! Please upgrade me.\n",
                    static_cast<int>(core_version), static_cast<int>(version));
                return header_result::refused;
            }
            return header_result::complete;
        });
    if (result == header_result::ended)
        write_log("ERROR: problem while reading %s, aborting reading it.\n", path);
    return result;
}

// A `<category ` element from just after its tag; makes it the current category and returns
// where the scan stands.
char* read_category_element(char* pos, uint16_t* current)
{
    char value[xml_value_size + 1] = "";
    if (char* name = find_text(pos, "name=\"")) {
        pos = name + std::strlen("name=\"");
        pos += copy_value(value, pos);
    }
    *current = static_cast<uint16_t>(push_category(value));
    category* c = category_at(*current);
    if (!c)
        return pos;
    for (const colour_attribute& a : colour_attributes) {
        if (char* found = find_text(pos, a.text)) {
            pos = found + std::strlen(a.text);
            c->*a.field = parse_color(pos);
        }
    }
    for (const text_attribute& a : text_attributes) {
        if (char* found = find_text(pos, a.text)) {
            pos = found + std::strlen(a.text);
            const size_t n = copy_value(value, pos);
            if (n > 0)
                c->*a.field = std::string(value, n);
        }
    }
    return pos;
}

void set_item_attribute(item& e, int order, uint32_t value)
{
    switch (order) {
    case 2: e.tmtrpt = static_cast<uint16_t>(value); break;
    case 3: e.stmtrpt = static_cast<uint16_t>(value); break;
    case 4: e.livl = static_cast<uint16_t>(value); break;
    case 5: e.rllivl = static_cast<uint16_t>(value); break;
    case 6: e.ivl = static_cast<uint16_t>(value); break;
    case 7: e.rp = static_cast<uint16_t>(value >= 128 ? 127 : value); break;
    case 8: e.gr = static_cast<uint16_t>(value); break;
    case 9: e.sstick = value; break;
    case 10: e.hstick = value; break;
    default: break;
    }
}

// Searches the attributes from the one the counter stands at, each after the previous; the
// first one missing ends the search on this line.
char* read_item_attributes(char* pos, int* counter, item** record, uint16_t current)
{
    while (*counter <= item_attribute_count) {
        const char* text = item_attributes[*counter - 1];
        char* found = find_text(pos, text);
        if (!found)
            break;
        pos = found + std::strlen(text);
        const uint32_t value = read_a_number(pos);
        if (*counter == 1) {
            *record = new_item();
            (*record)->id = value;
            (*record)->ctgr = current;
        } else if (*record) {
            set_item_attribute(**record, *counter, value);
        }
        ++*counter;
    }
    return pos;
}

}  // namespace

int load_xml(const char* path)
{
    database& d = db();
    create_category_table();
    d.item_count = 0;
    FILE* file = std::fopen(path, "r");
    if (!file)
        return 1;
    erase_memory_after_ll();
    reset_category_stack();

    char line[xml_line_size];
    switch (read_header(line, file, path)) {
    case header_result::complete: break;
    case header_result::old_form: fclose_logged(file, path); return load_old_xml(path);
    case header_result::refused:
    case header_result::ended: fclose_logged(file, path); return 1;
    }

    uint16_t current = 0;
    int counter = 0;
    item* record = nullptr;
    scheduled_batch batch;
    bool skipping = false;  // an item without " id=": passed over up to its </item>
    bool complete = false;
    while (read_line(line, sizeof line, file)) {
        char* pos = line;
        if (counter == 0) {
            if (char* element = find_text(pos, "<category "))
                pos = read_category_element(element + std::strlen("<category "), &current);
            if (find_text(pos, "</cardwright>")) {
                complete = true;
                continue;
            }
            if (find_text(pos, "</category>")) {
                const int32_t enclosing = pop_category();
                current = enclosing < 0 ? 0 : static_cast<uint16_t>(enclosing);
                continue;
            }
            if (!find_text(pos, "<item "))
                continue;
            counter = 1;
        }
        if (counter <= item_attribute_count && !skipping)
            pos = read_item_attributes(pos, &counter, &record, current);
        const item_content step = read_item_content(line, pos, file, current_tags, record);
        if (step == item_content::none)
            continue;
        if (step == item_content::question_failed || step == item_content::answer_failed)
            return abandon_xml_read(file, path, record, step);
        if (!record && !skipping) {
            report_item_without_id(file);
            skipping = true;
        }
        if (step == item_content::end) {
            if (record) {
                batch.add(record);
                ++d.item_count;
                record = nullptr;
            }
            counter = 0;
            skipping = false;
        }
    }
    free_item(record);
    batch.link();
    fclose_logged(file, path);
    if (!complete)
        write_log("WARNING: </cardwright> tag in elements.xml file not found, some elements could be lost.\n");
    return 0;
}
