#include "exchange/html_markup.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "platform/utf.h"

namespace {

// A literal "<" of the card's text stands in as this byte until the end, so that text of a
// shared deck cannot make picture or sound elements of its own.
constexpr char literal_lt = '\x01';

// A decoded entity; one that names no character becomes U+FFFD.
void append_character(std::string& out, uint32_t cp)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    append_utf8(cp, &out);
}

struct named_entity {
    const char* name;
    uint32_t code;
};
constexpr std::array<named_entity, 22> entities = {{{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'},
    {"apos", '\''}, {"nbsp", ' '}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"hellip", 0x2026}, {"laquo", 0xAB},
    {"raquo", 0xBB}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"copy", 0xA9},
    {"reg", 0xAE}, {"euro", 0x20AC}, {"deg", 0xB0}, {"times", 0xD7}, {"middot", 0xB7}, {"shy", 0xAD}}};

// Decodes the entity at text[i] ('&') into out; the bytes it took, 0 when it is no entity.
size_t decode_entity(std::string_view text, size_t i, std::string& out)
{
    const size_t semi = text.find(';', i);
    if (semi == std::string_view::npos || semi - i > 12 || semi == i + 1)
        return 0;
    const std::string_view body = text.substr(i + 1, semi - i - 1);
    uint32_t cp = 0;
    if (body[0] == '#') {
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        const std::string digits(body.substr(hex ? 2 : 1));
        if (digits.empty() || digits.size() > 8)
            return 0;
        char* stop = nullptr;
        const unsigned long v = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
        if (*stop != '\0')
            return 0;
        cp = v > 0x10FFFF ? 0xFFFD : static_cast<uint32_t>(v);
    } else {
        bool found = false;
        for (const named_entity& e : entities) {
            if (body == e.name) {
                cp = e.code;
                found = true;
                break;
            }
        }
        if (!found)
            return 0;
    }
    if (cp == 0xAD)
        return semi - i + 1;  // a soft hyphen shows nothing
    if (cp == '<')
        out.push_back(literal_lt);
    else
        append_character(out, cp);
    return semi - i + 1;
}

std::string decode_entities(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (const size_t n = decode_entity(text, i, out)) {
                i += n - 1;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// The value of attribute `name` in a tag's text, entities decoded.
std::optional<std::string> attribute(std::string_view tag, std::string_view name)
{
    const std::string low = ascii_lower(tag);
    size_t at = 0;
    while ((at = low.find(name, at)) != std::string::npos) {
        const bool starts = at > 0 && (low[at - 1] == ' ' || low[at - 1] == '\t' || low[at - 1] == '\n');
        size_t p = at + name.size();
        at = p;
        if (!starts)
            continue;
        while (p < low.size() && low[p] == ' ')
            ++p;
        if (p >= low.size() || low[p] != '=')
            continue;
        ++p;
        while (p < low.size() && low[p] == ' ')
            ++p;
        if (p >= low.size())
            return std::nullopt;
        std::string_view value;
        if (tag[p] == '"' || tag[p] == '\'') {
            const size_t close = tag.find(tag[p], p + 1);
            value = tag.substr(p + 1, close == std::string_view::npos ? std::string_view::npos : close - p - 1);
        } else {
            size_t e = p;
            while (e < tag.size() && tag[e] != ' ' && tag[e] != '/' && tag[e] != '>')
                ++e;
            value = tag.substr(p, e - p);
        }
        std::string decoded = decode_entities(value);
        for (char& c : decoded)
            if (c == literal_lt)
                c = '<';
        return decoded;
    }
    return std::nullopt;
}

void line_break(std::string& out)
{
    if (!out.empty() && out.back() != '\n')
        out.push_back('\n');
}

void media_element(std::string& out, const std::optional<std::string>& path, bool sound)
{
    if (!path)
        return;
    out.append(sound ? "<snd>" : "<img>").append(*path).append(sound ? "</snd>" : "</img>");
}

bool starts_with(std::string_view s, size_t at, std::string_view what) { return s.substr(at, what.size()) == what; }

}  // namespace

std::string percent_decoded(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned byte = 0;
        if (text[i] == '%' && i + 2 < text.size()) {
            const char* const first = text.data() + i + 1;
            const auto [end, error] = std::from_chars(first, first + 2, byte, 16);
            if (error == std::errc() && end == first + 2) {
                out.push_back(static_cast<char>(byte));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string html_to_markup(std::string_view html, const media_resolver& media)
{
    // The bytes at which the loop below does more than copy.
    static constexpr auto special = [] {
        std::array<bool, 256> table{};
        for (const char c : {'<', '&', '[', '\r', literal_lt})
            table[static_cast<unsigned char>(c)] = true;
        return table;
    }();
    std::string out;
    out.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            if (starts_with(html, i, "<!--")) {
                const size_t close = html.find("-->", i + 4);
                i = close == std::string_view::npos ? html.size() : close + 3;
                continue;
            }
            const size_t close = html.find('>', i + 1);
            const bool tag_like = i + 1 < html.size() &&
                                  (std::isalpha(static_cast<unsigned char>(html[i + 1])) || html[i + 1] == '/' ||
                                   html[i + 1] == '!' || html[i + 1] == '?');
            if (close == std::string_view::npos || !tag_like) {
                out.push_back(literal_lt);
                ++i;
                continue;
            }
            const std::string_view tag = html.substr(i + 1, close - i - 1);
            i = close + 1;
            const bool closing = !tag.empty() && tag[0] == '/';
            size_t n = closing ? 1 : 0;
            while (n < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[n]))))
                ++n;
            const std::string name = ascii_lower(tag.substr(closing ? 1 : 0, n - (closing ? 1 : 0)));
            if (name == "script" || name == "style") {
                if (!closing) {
                    const std::string end_tag = "</" + name;
                    const size_t stop = ascii_lower(html.substr(i)).find(end_tag);
                    if (stop == std::string::npos) {
                        i = html.size();
                    } else {
                        const size_t gt = html.find('>', i + stop);
                        i = gt == std::string_view::npos ? html.size() : gt + 1;
                    }
                }
                continue;
            }
            char format = 0;
            if (name == "b" || name == "strong")
                format = 'b';
            else if (name == "i" || name == "em")
                format = 'i';
            else if (name == "u" || name == "ins")
                format = 'u';
            else if (name == "s" || name == "strike" || name == "del")
                format = 's';
            if (format) {
                out.append(closing ? "</" : "<").push_back(format);
                out.push_back('>');
            } else if (name == "br") {
                out.push_back('\n');
            } else if (name == "div" || name == "p" || name == "li" || name == "tr" || name == "h1" || name == "h2" ||
                       name == "h3" || name == "h4" || name == "h5" || name == "h6" || name == "ul" || name == "ol" ||
                       name == "table" || name == "blockquote" || name == "pre") {
                line_break(out);
            } else if (name == "img" && !closing) {
                if (const auto src = attribute(tag, "src"); src && !src->empty())
                    media_element(out, media(*src, false), false);
            }
            continue;
        }
        if (c == '&') {
            if (const size_t taken = decode_entity(html, i, out)) {
                i += taken;
                continue;
            }
        }
        if (c == '[' && starts_with(html, i, "[sound:")) {
            const size_t close = html.find(']', i + 7);
            if (close != std::string_view::npos) {
                const std::string name = decode_entities(html.substr(i + 7, close - i - 7));
                std::string clean;
                for (const char k : name)
                    clean.push_back(k == literal_lt ? '<' : k);
                if (!clean.empty())
                    media_element(out, media(clean, true), true);
                i = close + 1;
                continue;
            }
        }
        if (c == '\r' || c == literal_lt) {
            ++i;
            continue;
        }
        // Plain text, most of a note, goes over in runs rather than a byte at a time.
        size_t end = i + 1;
        while (end < html.size() && !special[static_cast<unsigned char>(html[end])])
            ++end;
        out.append(html.substr(i, end - i));
        i = end;
    }
    // Blanks and line breaks around the text are layout, not content.
    const size_t first = out.find_first_not_of(" \n\t");
    if (first == std::string::npos)
        return {};
    out.erase(0, first);
    out.erase(out.find_last_not_of(" \n\t") + 1);

    if (out.find(literal_lt) == std::string::npos)
        return out;
    std::string result;
    result.reserve(out.size());
    for (size_t k = 0; k < out.size(); ++k) {
        if (out[k] != literal_lt) {
            result.push_back(out[k]);
            continue;
        }
        const std::string_view rest = std::string_view(out).substr(k + 1);
        const bool would_be_media = rest.starts_with("img>") || rest.starts_with("/img>") ||
                                    rest.starts_with("snd>") || rest.starts_with("/snd>");
        result.append(would_be_media ? "\xE2\x80\xB9" : "<");  // a lone angle quote keeps it plain text
    }
    return result;
}
