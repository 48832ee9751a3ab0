// The elements.xml form written before core version 11: flat categories named by the items
// themselves, shorter attribute names and upper-case question and answer tags.
#include <cstring>

#include "database/database.h"
#include "services/log.h"
#include "formats/xml.h"
#include "formats/xml_scan.h"

namespace {

constexpr uint32_t newest_old_version = 11;
constexpr int item_attribute_count = 9;
constexpr int ctgr_order = 4;

constexpr const char* item_attributes[item_attribute_count] = {
    " id=", " tm_t_rpt=", " stm_t_rpt=", " ctgr=", " l_ivl=", " rl_l_ivl=", " ivl=", " rp=", " gr=",
};

bool read_old_header(char* line, FILE* file, const char* path)
{
    const header_result result = scan_header(
        line, file, [](bool) { return header_result::complete; },
        [](uint32_t version) {
            if (version <= newest_old_version)
                return header_result::complete;
            report_newer_version(version);
            return header_result::refused;
        });
    if (result == header_result::ended)
        write_log("ERROR: error while reading %s\n", path);
    return result == header_result::complete;
}

// A `<category ` element from just after its tag. Returns where the scan stands, or null when
// the rest of the line is to be ignored.
char* read_old_category(char* pos, xml_read_state&)
{
    uint32_t colour = 0;
    if (char* bgcolor = find_text(pos, "bgcolor="))
        colour = read_a_number(bgcolor);
    char* name = find_text(pos, "name=");
    if (!name) {
        write_log("WARNING: a <category> without name= in elements.xml is ignored.\n");
        return nullptr;
    }
    pos = name + std::strlen("name=");
    if (*pos == '"')
        ++pos;
    char value[xml_value_size + 1];
    const size_t n = copy_value(value, pos);
    if (n == 0)
        return nullptr;
    pos += n;
    const uint16_t index = add_category(value, -1);
    if (colour != 0) {
        if (category* c = category_at(index)) {
            c->qbgclr = colour;
            c->abgclr = colour;
        }
    }
    return pos;
}

// The ` ctgr=` value: a category name up to the next double quote. Returns where the scan
// goes on.
char* read_item_category(char* pos, item* record)
{
    if (*pos == '"')
        ++pos;
    size_t length = 0;
    while (pos[length] != '\0' && pos[length] != '"' && pos[length] != '\n')
        ++length;
    char* after = pos + length + (pos[length] == '"' ? 1 : 0);
    if (!record)
        return after;
    if (length == 0) {
        record->ctgr = 0;
        return after;
    }
    // add_category keeps 127 bytes of a name, so nothing beyond them can tell names apart.
    char name[MAX_CTGR_LEN];
    const size_t kept = length < sizeof name - 1 ? length : sizeof name - 1;
    std::memcpy(name, pos, kept);
    name[kept] = '\0';
    record->ctgr = add_category(name, -1);
    return after;
}

char* read_old_attribute(char* pos, int order, item* record, xml_read_state& state)
{
    if (order == ctgr_order) {
        state.ctgr_seen = true;
        return read_item_category(pos, record);
    }
    // " id=" is order 1; the fields follow in their order, with " ctgr=" among them.
    if (record && order >= 2)
        set_item_field(*record, static_cast<item_field>(order < ctgr_order ? order - 2 : order - 3), read_a_number(pos));
    return pos;
}

// The oldest files name no categories at all; their items share "root". A category the file
// already made keeps slot 0.
void old_item_ended(xml_read_state& state)
{
    if (state.ctgr_seen)
        return;
    state.ctgr_seen = true;
    if (category_count() == 0)
        create_root_category();
}

constexpr xml_form old_form = {
    {"<Q>", "</Q>", "<A>", "</A>"},
    item_attributes,
    item_attribute_count,
    read_old_attribute,
    read_old_category,
    false,
    old_item_ended,
    "WARNING: </cardwright> tag in elements.xml file not found, some items could be missed.\n",
};

}  // namespace

xml_load_status load_old_xml(const char* path)
{
    char line[xml_line_size];
    FILE* file = open_xml_file(path);
    if (file && read_old_header(line, file, path))
        return read_xml_items(file, path, old_form);
    if (file)
        fclose_logged(file, path);
    return xml_load_status::not_read;
}
