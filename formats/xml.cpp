#include "formats/xml.h"

#include <cstring>
#include <optional>
#include <string>

#include "database/database.h"
#include "services/log.h"
#include "formats/xml_scan.h"

namespace {

constexpr uint32_t last_old_version = 10;
constexpr int item_attribute_count = 10;

constexpr const char* item_attributes[item_attribute_count] = {
    " id=", " tmtrpt=", " stmtrpt=", " livl=", " rllivl=", " ivl=", " rp=", " gr=", " sstick=", " hstick=",
};

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
            if (version > xml_core_version) {
                report_newer_version(version);
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
char* read_category_element(char* pos, xml_read_state& state)
{
    uint16_t* current = &state.current;
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

// Every attribute after " id=" (order 1) holds a field, in the fields' order.
char* read_attribute(char* pos, int order, item* record, xml_read_state&)
{
    if (record && order >= 2)
        set_item_field(*record, static_cast<item_field>(order - 2), read_a_number(pos));
    return pos;
}

constexpr xml_form current_form = {
    {"<q>", "</q>", "<a>", "</a>"},
    item_attributes,
    item_attribute_count,
    read_attribute,
    read_category_element,
    true,
    nullptr,
    "WARNING: </cardwright> tag in elements.xml file not found, some elements could be lost.\n",
};

}  // namespace

xml_load_status load_xml(const char* path)
{
    FILE* file = open_xml_file(path);
    if (!file)
        return xml_load_status::not_read;
    char line[xml_line_size];
    switch (read_header(line, file, path)) {
    case header_result::complete: break;
    case header_result::old_form: fclose_logged(file, path); return load_old_xml(path);
    case header_result::refused:
    case header_result::ended: fclose_logged(file, path); return xml_load_status::not_read;
    }
    return read_xml_items(file, path, current_form);
}
