#include "formats/xml_scan.h"

#include <algorithm>
#include <cstring>

#include "platform/utf.h"
#include "services/log.h"

formats_state& formats()
{
    static formats_state state;
    return state;
}

void reset_category_stack()
{
    category_stack& s = formats().stack;
    s.depth = 0;
    s.entries[0] = -1;
    s.overflow_reported = false;
}

int32_t push_category(const char* name)
{
    category_stack& s = formats().stack;
    if (s.depth >= max_category_depth) {
        if (!s.overflow_reported) {
            write_log("WARNING: categories nested deeper than %d levels; deeper ones are merged into the "
                      "innermost one.\n",
                max_category_depth);
            s.overflow_reported = true;
        }
        ++s.depth;
        return s.entries[max_category_depth];
    }
    // A nameless element is category 0; before the first category exists that has to be made
    // here, or the element's attributes would have no category to go to.
    if ((!name || name[0] == '\0' || name[0] == '\n') && category_count() == 0)
        create_root_category();
    const uint16_t index = add_category(name, s.entries[s.depth]);
    ++s.depth;
    s.entries[s.depth] = index;
    return index;
}

int32_t pop_category()
{
    category_stack& s = formats().stack;
    --s.depth;
    if (s.depth < 0) {
        write_log("WARNING: excessive </category> tag detected.\n");
        s.depth = 0;
        return s.entries[0];
    }
    return s.entries[std::min<int64_t>(s.depth, max_category_depth)];
}

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

void set_item_field(item& e, item_field field, uint32_t value)
{
    const auto days = static_cast<uint16_t>(value);
    switch (field) {
    case item_field::tmtrpt: e.tmtrpt = days; break;
    case item_field::stmtrpt: e.stmtrpt = days; break;
    case item_field::livl: e.livl = days; break;
    case item_field::rllivl: e.rllivl = days; break;
    case item_field::ivl: e.ivl = days; break;
    case item_field::rp: e.rp = static_cast<uint16_t>(value >= 128 ? 127 : value); break;
    case item_field::gr: e.gr = days; break;
    case item_field::sstick: e.sstick = value; break;
    case item_field::hstick: e.hstick = value; break;
    }
}

uint32_t read_a_number(const char* text)
{
    if (!text) {
        write_log("WARNING: read_a_number(): got NULL\n");
        return 0;
    }
    while (*text != '\0' && !is_digit(*text))
        ++text;
    if (*text == '\0') {
        write_log("WARNING: read_a_number(): cannot find any digit in string!\n");
        return 0;
    }
    uint32_t value = 0;
    for (; is_digit(*text); ++text)
        value = value * 10u + static_cast<uint32_t>(*text - '0');
    return value;
}

// The needles are a few bytes long: a plain loop beats the library's setup.
static bool begins_with(const char* text, const char* needle)
{
    for (; *needle != '\0'; ++text, ++needle)
        if (*text != *needle)
            return false;
    return true;
}

const char* find_first_tag(const char* text, const char* tag)
{
    const char* first = std::strchr(text, '<');
    if (first && begins_with(first, tag))
        return first;
    return nullptr;
}

static int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

uint32_t parse_color(const char* value)
{
    // Each pair stands at a fixed place and reads as far as its hex digits go; a short value
    // ends at its closing quote rather than reading into the next attribute.
    size_t available = 0;
    while (available < 7 && value[available] != '\0' && value[available] != '"')
        ++available;
    uint32_t result = 0xFF000000u;
    for (int channel = 0; channel < 3; ++channel) {
        uint32_t v = 0;
        for (size_t k = 1 + 2 * channel; k < 3 + 2 * static_cast<size_t>(channel) && k < available; ++k) {
            const int digit = hex_value(value[k]);
            if (digit < 0)
                break;
            v = v * 16 + static_cast<uint32_t>(digit);
        }
        result |= v << (8 * channel);
    }
    return result;
}

char* find_text(char* text, const char* needle)
{
    // No match can start before the first occurrences of the needle's first byte, so trying
    // them in turn finds the same match as strstr; after a few, strstr takes the rest.
    for (int tries = 0; tries < 4; ++tries) {
        text = std::strchr(text, needle[0]);
        if (!text)
            return nullptr;
        if (begins_with(text, needle))
            return text;
        ++text;
    }
    return std::strstr(text, needle);
}

void skip_utf8_bom(char* line)
{
    if (static_cast<unsigned char>(line[0]) == 0xEF && static_cast<unsigned char>(line[1]) == 0xBB &&
        static_cast<unsigned char>(line[2]) == 0xBF)
        std::memmove(line, line + 3, std::strlen(line + 3) + 1);
}

char* read_line(char* buffer, size_t size, FILE* file)
{
    if (!std::fgets(buffer, static_cast<int>(size), file))
        return nullptr;
    const size_t length = std::strlen(buffer);
    if (length >= 2 && buffer[length - 1] == '\n' && buffer[length - 2] == '\r') {
        buffer[length - 2] = '\n';
        buffer[length - 1] = '\0';
    }
    return buffer;
}

size_t copy_value(char (&value)[xml_value_size + 1], const char* from)
{
    size_t n = 0;
    while (n < xml_value_size && from[n] != '\0' && from[n] != '"' && from[n] != '\n') {
        value[n] = from[n];
        ++n;
    }
    value[n] = '\0';
    return n;
}

namespace {

constexpr char cdata_open[] = "<![CDATA[";
constexpr size_t cdata_open_length = sizeof cdata_open - 1;
constexpr char cdata_close[] = "]]>";

// First match of `pattern` in text[from..], where text[from..newest) is already known not to
// hold a whole match: only a match reaching into the newest part is possible there.
char* search_newest(char* text, size_t from, size_t newest, const char* pattern)
{
    const size_t overlap = std::strlen(pattern) - 1;
    const size_t start = newest > from + overlap ? newest - overlap : from;
    return std::strstr(text + start, pattern);
}

// Reads past the rest of an over-long text: up to "]]>" while inside its CDATA section, then up
// to `tag`. `tail` is the end of what was already read, so that a mark split between two reads
// is still found. False when the file ends first.
bool skip_rest_of_text(FILE* file, const char* tag, bool in_cdata, const char* tail, size_t tail_length)
{
    constexpr size_t carry = 8;  // longer than any mark searched, less one
    char chunk[carry + xml_line_size];
    size_t kept = std::min(tail_length, carry);
    std::memcpy(chunk, tail + tail_length - kept, kept);
    chunk[kept] = '\0';
    for (;;) {
        if (!std::fgets(chunk + kept, static_cast<int>(xml_line_size), file))
            return false;
        char* from = chunk;
        if (in_cdata) {
            if (char* end = std::strstr(from, cdata_close)) {
                in_cdata = false;
                from = end + 3;
            }
        }
        if (!in_cdata && std::strstr(from, tag))
            return true;
        const size_t length = std::strlen(chunk);
        // Only bytes after a closed CDATA section may start the tag.
        const size_t start = std::max(static_cast<size_t>(from - chunk), length > carry ? length - carry : 0);
        kept = length - start;
        std::memmove(chunk, chunk + start, kept);
        chunk[kept] = '\0';
    }
}

}  // namespace

char* extract_cdata(char* text, FILE* file, const char* tag, bool* cut, char** rest)
{
    if (rest)
        *rest = nullptr;
    const bool cdata = std::strncmp(text, cdata_open, cdata_open_length) == 0;
    bool in_cdata = cdata;
    size_t length = std::strlen(text);
    size_t floor = cdata ? cdata_open_length : 0;  // where the next search may start
    size_t newest = floor;                        // start of the part not yet searched
    size_t cdata_end = 0;
    bool at_eof = std::feof(file) != 0;
    while (!at_eof) {
        if (in_cdata) {
            if (char* end = search_newest(text, floor, newest, cdata_close)) {
                in_cdata = false;
                cdata_end = static_cast<size_t>(end - text);
                floor = newest = cdata_end + 3;
            }
        }
        if (!in_cdata) {
            if (char* end = search_newest(text, floor, newest, tag)) {
                // Unwrapping the text below moves only what comes before its closing tag.
                if (rest)
                    *rest = end + std::strlen(tag);
                *end = '\0';
                length = static_cast<size_t>(end - text);
                break;
            }
        }
        if (length >= xml_text_limit && cut) {
            // The text as it would be without its wrapper, cut to the limit; the rest is passed over.
            size_t inner = length;
            if (cdata) {
                const size_t wrapped = in_cdata ? length : cdata_end;
                inner = wrapped - cdata_open_length;
                std::memmove(text, text + cdata_open_length, inner);
                if (!in_cdata) {
                    std::memmove(text + inner, text + cdata_end + 3, length - (cdata_end + 3));
                    inner += length - (cdata_end + 3);
                }
            }
            const size_t tail_from = inner > 8 ? inner - 8 : 0;
            char tail[8];
            std::memcpy(tail, text + tail_from, inner - tail_from);
            text[utf8_prefix(std::string_view(text, inner), xml_text_limit)] = '\0';
            if (!skip_rest_of_text(file, tag, in_cdata, tail, inner - tail_from)) {
                write_log("ERROR: extract_cdata() hit EOF; your elements.xml file doesn't look well.\n");
                return nullptr;
            }
            *cut = true;
            return text;
        }
        if (length >= xml_text_limit) {
            write_log("ERROR: Too long question (or answer) in the XML file (limit is %dB per question and %dB per "
                      "answer); current position in the file: %ld.\n",
                static_cast<int>(xml_text_limit), static_cast<int>(xml_text_limit), std::ftell(file));
            return nullptr;
        }
        if (!read_line(text + length, xml_text_room - length, file)) {
            write_log("ERROR: an error in extract_cdata().\n");
            return nullptr;
        }
        newest = std::max(length, floor);
        length += std::strlen(text + length);
        at_eof = std::feof(file) != 0;
    }
    if (at_eof) {
        write_log("ERROR: extract_cdata() hit EOF; your elements.xml file doesn't look well.\n");
        return nullptr;
    }
    if (cdata) {
        // Drop the wrapper: "<![CDATA[" in front and the first "]]>".
        const size_t inner = cdata_end - cdata_open_length;
        std::memmove(text, text + cdata_open_length, inner);
        std::memmove(text + inner, text + cdata_end + 3, length - (cdata_end + 3) + 1);
    }
    return text;
}

item_content read_item_content(char* line, char* pos, FILE* file, const xml_item_tags& tags, item* record)
{
    const char* open = tags.question_open;
    const char* close = tags.question_close;
    const char* tag = find_first_tag(pos, open);
    if (!tag) {
        open = tags.answer_open;
        close = tags.answer_close;
        tag = find_first_tag(pos, open);
    }
    if (!tag)
        return find_text(pos, "</item>") ? item_content::end : item_content::none;

    const bool question = open == tags.question_open;
    char* text = pos + (tag - pos) + std::strlen(open);
    // The text needs its full room inside the line buffer; the rest of the line is not looked
    // at again, so the text can move to the buffer's start.
    if (static_cast<size_t>(text - line) + xml_text_room > xml_line_size) {
        std::memmove(line, text, std::strlen(text) + 1);
        text = line;
    }
    bool cut = false;
    char* rest = nullptr;
    const char* result = extract_cdata(text, file, close, &cut, &rest);
    // The rest of the line is not read: a tag there (the answer, the item's end) is said, not lost unseen.
    if (rest && std::strchr(rest, '<'))
        write_log("WARNING: what follows %s on its line in elements.xml is not read (file position %ld)\n", close,
            std::ftell(file));
    if (!result)
        return question ? item_content::question_failed : item_content::answer_failed;
    if (cut) {
        // One damaged text must not cost the items around it; elements.xml itself stays as it is.
        const char* what = question ? "question" : "answer";
        if (record)
            write_log("WARNING: the %s of item %u in elements.xml is longer than %d bytes; only its first %zu bytes "
                      "are kept (file position %ld)\n",
                what, static_cast<unsigned>(record->id), static_cast<int>(xml_text_limit), std::strlen(result),
                std::ftell(file));
        else
            write_log("WARNING: the %s of an item without id in elements.xml is longer than %d bytes (file position "
                      "%ld)\n",
                what, static_cast<int>(xml_text_limit), std::ftell(file));
    }
    if (record)
        (question ? record->question : record->answer) = result;
    return item_content::text;
}

header_result scan_header(char* line, FILE* file, const std::function<header_result(bool old_root)>& on_root,
    const std::function<header_result(uint32_t version)>& on_version)
{
    bool in_comment = false;
    bool root_seen = false;
    bool first = true;
    while (read_line(line, xml_line_size, file)) {
        if (first) {
            skip_utf8_bom(line);
            first = false;
        }
        char* pos = line;
        if (!in_comment && std::strncmp(line, "<!--", 4) == 0) {
            in_comment = true;
            pos = line + 4;
        }
        if (in_comment) {
            char* end = find_text(pos, "-->");
            if (!end)
                continue;
            in_comment = false;
            pos = end + 3;
        }
        if (!root_seen) {
            bool old_root = false;
            if (char* root = find_text(pos, "<cardwright")) {
                pos = root + std::strlen("<cardwright");
            } else if (char* old = find_text(pos, "<cardix")) {
                pos = old + std::strlen("<cardix");
                old_root = true;
            } else {
                continue;
            }
            root_seen = true;
            if (const header_result r = on_root(old_root); r != header_result::complete)
                return r;
        }
        if (char* version_text = find_text(pos, " core_version=")) {
            pos = version_text + std::strlen(" core_version=");
            if (const header_result r = on_version(read_a_number(pos)); r != header_result::complete)
                return r;
        }
        if (char* start = find_text(pos, " time_of_start=")) {
            db().time_of_start = read_a_number(start + std::strlen(" time_of_start="));
            return header_result::complete;
        }
    }
    return header_result::ended;
}

xml_load_status abandon_xml_read(FILE* file, const char* path, item* unfinished, item_content failure)
{
    if (failure == item_content::question_failed)
        write_log("ERROR: a problem while reading a question in elements.xml - aborting reading %s\n", path);
    else
        write_log("ERROR: a problem while reading an answer in elements.xml - aborting reading %s\n", path);
    fclose_logged(file, path);
    free_item(unfinished);
    create_category_table();
    db().item_count = 0;
    erase_memory_after_ll();
    return xml_load_status::not_read;
}

void report_item_without_id(FILE* file)
{
    write_log("WARNING: an <item> without id= in elements.xml is skipped (file position %ld).\n", std::ftell(file));
}
