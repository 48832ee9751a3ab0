#include "exchange/json_reader.h"

#include <charconv>
#include <cstdint>

#include "platform/utf.h"

namespace {

constexpr int max_depth = 32;

struct json_parser {
    std::string_view s;
    size_t i = 0;

    void blanks()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
    }
    bool literal(std::string_view word)
    {
        if (s.substr(i, word.size()) != word)
            return false;
        i += word.size();
        return true;
    }
    // The comma-separated elements of an object or array after its opening bracket, up to
    // `close`, each read by `element`.
    template <class read_element>
    bool elements(std::string_view close, read_element element)
    {
        ++i;
        blanks();
        if (literal(close))
            return true;
        do {
            blanks();
            if (!element())
                return false;
            blanks();
        } while (literal(","));
        return literal(close);
    }
    bool hex4(uint32_t& v)
    {
        if (i + 4 > s.size())
            return false;
        const char* const first = s.data() + i;
        const auto [end, error] = std::from_chars(first, first + 4, v, 16);
        i += 4;
        return error == std::errc() && end == first + 4;
    }
    bool string(std::string& out)
    {
        if (i >= s.size() || s[i] != '"')
            return false;
        ++i;
        while (i < s.size()) {
            const char c = s[i++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (i >= s.size())
                return false;
            const char e = s[i++];
            switch (e) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                uint32_t cp = 0;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp < 0xDC00 && s.substr(i, 2) == "\\u") {
                    i += 2;
                    uint32_t low = 0;
                    if (!hex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return false;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                    cp = 0xFFFD;
                }
                append_utf8(cp, &out);
                break;
            }
            default: return false;
            }
        }
        return false;
    }
    bool value(json_value& v, int depth)
    {
        if (depth > max_depth)
            return false;
        blanks();
        if (i >= s.size())
            return false;
        const char c = s[i];
        if (c == '{') {
            v.type = json_value::kind::object;
            return elements("}", [&] {
                json_member m;
                if (!string(m.key))
                    return false;
                blanks();
                if (!literal(":") || !value(m.value, depth + 1))
                    return false;
                v.members.push_back(std::move(m));
                return true;
            });
        }
        if (c == '[') {
            v.type = json_value::kind::array;
            return elements("]", [&] {
                json_value item;
                if (!value(item, depth + 1))
                    return false;
                v.items.push_back(std::move(item));
                return true;
            });
        }
        if (c == '"') {
            v.type = json_value::kind::string;
            return string(v.text);
        }
        if (literal("true")) {
            v.type = json_value::kind::boolean;
            v.truth = true;
            return true;
        }
        if (literal("false")) {
            v.type = json_value::kind::boolean;
            return true;
        }
        if (literal("null"))
            return true;
        const size_t start = i;
        while (i < s.size() && (std::string_view("+-.eE0123456789").find(s[i]) != std::string_view::npos))
            ++i;
        if (i == start)
            return false;
        v.type = json_value::kind::number;
        v.text = std::string(s.substr(start, i - start));
        return true;
    }
};

}  // namespace

const json_value* json_value::member(std::string_view name) const
{
    for (const auto& [key, value] : members)
        if (key == name)
            return &value;
    return nullptr;
}

std::optional<json_value> parse_json(std::string_view text)
{
    json_parser p{text};
    json_value v;
    if (!p.value(v, 0))
        return std::nullopt;
    p.blanks();
    if (p.i != text.size())
        return std::nullopt;
    return v;
}
