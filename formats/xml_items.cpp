// The one reader loop of both forms of elements.xml; each form describes itself in an xml_form.
#include <cstring>

#include "database/database.h"
#include "formats/xml_scan.h"
#include "services/log.h"

namespace {

// Searches the attributes from the one the counter stands at, each after the previous; the
// first one missing ends the search on this line.
char* read_attributes(char* pos, int* counter, item** record, xml_read_state& state, const xml_form& form)
{
    while (*counter <= form.attribute_count) {
        const char* text = form.attributes[*counter - 1];
        char* found = find_text(pos, text);
        if (!found)
            break;
        pos = found + std::strlen(text);
        if (*counter == 1) {
            *record = new_item();
            (*record)->id = read_a_number(pos);
            (*record)->ctgr = state.current;
        } else {
            pos = form.read_attribute(pos, *counter, *record, state);
        }
        ++*counter;
    }
    return pos;
}

}  // namespace

void report_newer_version(uint32_t version)
{
    write_log("ERROR: your 'Cardwright core version'=%d, while elements.xml file I'm just reading was saved using %d "
              "version. I'm not prepared to this version! Please upgrade me.\n",
        static_cast<int>(xml_core_version), static_cast<int>(version));
}

FILE* open_xml_file(const char* path)
{
    create_category_table();
    db().item_count = 0;
    FILE* file = std::fopen(path, "r");
    if (!file)
        return nullptr;
    erase_memory_after_ll();
    reset_category_stack();
    return file;
}

xml_load_status read_xml_items(FILE* file, const char* path, const xml_form& form)
{
    database& d = db();
    char line[xml_line_size];
    xml_read_state state;
    int counter = 0;  // the next attribute to look for; 0 outside an item
    item* record = nullptr;
    scheduled_batch batch;
    bool skipping = false;  // an item without " id=": passed over up to its end
    bool complete = false;
    while (read_line(line, sizeof line, file)) {
        char* pos = line;
        if (counter == 0) {
            if (char* element = find_text(pos, "<category ")) {
                pos = form.read_category(element + std::strlen("<category "), state);
                if (!pos)
                    continue;
            }
            if (find_text(pos, "</cardwright>")) {
                complete = true;
                continue;
            }
            if (form.nested_categories && find_text(pos, "</category>")) {
                const int32_t enclosing = pop_category();
                state.current = enclosing < 0 ? 0 : static_cast<uint16_t>(enclosing);
                continue;
            }
            if (!find_text(pos, "<item "))
                continue;
            counter = 1;
        }
        if (counter <= form.attribute_count && !skipping)
            pos = read_attributes(pos, &counter, &record, state, form);
        const item_content step = read_item_content(line, pos, file, form.tags, record);
        if (step == item_content::none)
            continue;
        if (step == item_content::question_failed || step == item_content::answer_failed)
            return abandon_xml_read(file, path, record, step);
        if (!record && !skipping) {
            report_item_without_id(file);
            skipping = true;
        }
        if (step == item_content::end) {
            if (form.item_ended)
                form.item_ended(state);
            if (record) {
                batch.add(record);
                ++d.item_count;
                record = nullptr;
            }
            counter = 0;
            skipping = false;
        }
    }
    if (record)
        write_log("WARNING: item %u in elements.xml has no </item> line before the file ends; it is not read\n",
            static_cast<unsigned>(record->id));
    free_item(record);
    batch.link();
    fclose_logged(file, path);
    if (!complete)
        write_log("%s", form.missing_end_warning);
    return xml_load_status::done;
}
