#include "exchange/media_map.h"

#include <cstddef>
#include <cstdint>

#include "exchange/json_reader.h"
#include "exchange/package_archive.h"

namespace {

// The few protobuf wire rules that the media list needs: varints and length-delimited fields.
struct proto_reader {
    const unsigned char* p;
    const unsigned char* end;

    bool varint(uint64_t& v)
    {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (p >= end)
                return false;
            const unsigned char b = *p++;
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
    // The next field; false at the end or on damage (`damaged` tells which).
    bool field(uint64_t& number, int& wire, const unsigned char*& data, uint64_t& value, bool& damaged)
    {
        damaged = false;
        if (p >= end)
            return false;
        uint64_t key = 0;
        if (!varint(key)) {
            damaged = true;
            return false;
        }
        number = key >> 3;
        wire = static_cast<int>(key & 7);
        switch (wire) {
        case 0:
            if (!varint(value))
                break;
            return true;
        case 1:
        case 5: {
            // A fixed 64-bit or 32-bit value, passed over.
            const std::ptrdiff_t width = wire == 1 ? 8 : 4;
            if (end - p < width)
                break;
            p += width;
            return true;
        }
        case 2:
            if (!varint(value) || value > static_cast<uint64_t>(end - p))
                break;
            data = p;
            p += value;
            return true;
        default: break;
        }
        damaged = true;
        return false;
    }
};

std::optional<media_map> from_protobuf(const std::string& bytes)
{
    media_map map;
    proto_reader list{reinterpret_cast<const unsigned char*>(bytes.data()),
        reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size()};
    uint64_t number = 0, value = 0;
    int wire = 0;
    const unsigned char* data = nullptr;
    bool damaged = false;
    uint64_t index = 0;
    while (list.field(number, wire, data, value, damaged)) {
        if (number != 1 || wire != 2)
            continue;
        // One entry: name (1), size (2), checksum (3), and the zip entry's name when it is not
        // the entry's place in the list (255).
        proto_reader entry{data, data + value};
        std::string name;
        std::optional<uint64_t> zip_name;
        uint64_t n = 0, v = 0;
        int w = 0;
        const unsigned char* d = nullptr;
        bool bad = false;
        while (entry.field(n, w, d, v, bad)) {
            if (n == 1 && w == 2)
                name.assign(reinterpret_cast<const char*>(d), v);
            else if (n == 255 && w == 0)
                zip_name = v;
        }
        if (bad)
            return std::nullopt;
        if (!name.empty())
            map.emplace(name, std::to_string(zip_name.value_or(index)));
        ++index;
    }
    if (damaged)
        return std::nullopt;
    return map;
}

}  // namespace

std::optional<media_map> parse_media_map(const std::string& bytes)
{
    size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return media_map{};
    if (bytes[first] == '{') {
        const auto json = parse_json(bytes);
        if (!json || json->type != json_value::kind::object)
            return std::nullopt;
        media_map map;
        for (const auto& [entry, name] : json->members)
            if (name.type == json_value::kind::string && !name.text.empty())
                map.emplace(name.text, entry);
        return map;
    }
    if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == 0x28 && static_cast<unsigned char>(bytes[1]) == 0xB5 &&
        static_cast<unsigned char>(bytes[2]) == 0x2F && static_cast<unsigned char>(bytes[3]) == 0xFD) {
        std::string plain;
        if (!zstd_unpack(bytes, plain, uint64_t{64} << 20))
            return std::nullopt;
        return from_protobuf(plain);
    }
    return from_protobuf(bytes);
}

bool safe_media_name(const std::string& name)
{
    if (name.empty() || name.size() > 200 || name == "." || name == ".." || name[0] == '.')
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == '<' || c == '>' || c == ':')
            return false;
    }
    return true;
}
