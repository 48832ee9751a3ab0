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

constexpr xml_item_tags old_tags = {"<Q>", "</Q>", "<A>", "</A>"};

bool read_old_header(char* line, FILE* file, const char* path)
{
    const header_result result = scan_header(
        line, file, [](bool) { return header_result::complete; },
        [](uint32_t version) {
            if (version <= newest_old_version)
                return header_result::complete;
            write_log("ERROR: your 'Cardwright core version'=%d, while elements.xml file I'm just reading was "
                      "saved using %d version. I'm not prepared to this version! Please upgrade me.\n",
                12, static_cast<int>(version));
            return header_result::refused;
        });
    if (result == header_result::ended)
        write_log("ERROR: error while reading %s\n", path);
    return result == header_result::complete;
}

// A `<category ` element from just after its tag. Returns where the scan stands, or null when
// the rest of the line is to be ignored.
char* read_old_category(char* pos)
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

void set_old_attribute(item& e, int order, uint32_t value)
{
    switch (order) {
    case 2: e.tmtrpt = static_cast<uint16_t>(value); break;
    case 3: e.stmtrpt = static_cast<uint16_t>(value); break;
    case 5: e.livl = static_cast<uint16_t>(value); break;
    case 6: e.rllivl = static_cast<uint16_t>(value); break;
    case 7: e.ivl = static_cast<uint16_t>(value); break;
    case 8: e.rp = static_cast<uint16_t>(value >= 128 ? 127 : value); break;
    case 9: e.gr = static_cast<uint16_t>(value); break;
    default: break;
    }
}

char* read_old_attributes(char* pos, int* counter, item** record, bool* ctgr_seen)
{
    while (*counter <= item_attribute_count) {
        const char* text = item_attributes[*counter - 1];
        char* found = find_text(pos, text);
        if (!found)
            break;
        pos = found + std::strlen(text);
        if (*counter == ctgr_order) {
            *ctgr_seen = true;
            pos = read_item_category(pos, *record);
        } else {
            const uint32_t value = read_a_number(pos);
            if (*counter == 1) {
                *record = new_item();
                (*record)->id = value;
            } else if (*record) {
                set_old_attribute(**record, *counter, value);
            }
        }
        ++*counter;
    }
    return pos;
}

}  // namespace

int load_old_xml(const char* path)
{
    database& d = db();
    create_category_table();
    d.item_count = 0;
    FILE* file = std::fopen(path, "r");
    if (!file)
        return 1;
    erase_memory_after_ll();

    char line[xml_line_size];
    if (!read_old_header(line, file, path)) {
        fclose_logged(file, path);
        return 1;
    }

    int counter = 0;
    item* record = nullptr;
    scheduled_batch batch;
    bool skipping = false;
    bool ctgr_seen = false;
    bool complete = false;
    while (read_line(line, sizeof line, file)) {
        char* pos = line;
        if (counter == 0) {
            if (char* element = find_text(pos, "<category ")) {
                pos = read_old_category(element + std::strlen("<category "));
                if (!pos)
                    continue;
            }
            if (find_text(pos, "</cardwright>")) {
                complete = true;
                continue;
            }
            if (!find_text(pos, "<item "))
                continue;
            counter = 1;
        }
        if (counter <= item_attribute_count && !skipping)
            pos = read_old_attributes(pos, &counter, &record, &ctgr_seen);
        const item_content step = read_item_content(line, pos, file, old_tags, record);
        if (step == item_content::none)
            continue;
        if (step == item_content::question_failed || step == item_content::answer_failed)
            return abandon_xml_read(file, path, record, step);
        if (!record && !skipping) {
            report_item_without_id(file);
            skipping = true;
        }
        if (step == item_content::end) {
            if (!ctgr_seen) {
                // The oldest files name no categories at all; their items share "root". A
                // category the file already made keeps slot 0.
                ctgr_seen = true;
                if (category_count() == 0)
                    create_root_category();
            }
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
        write_log("WARNING: </cardwright> tag in elements.xml file not found, some items could be missed.\n");
    return 0;
}
