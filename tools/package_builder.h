#pragma once
// Builds packages of the widely shared deck format: a SQLite collection in the older (JSON decks
// and media list) or newer (decks table, zstd, protobuf media list) form, zipped with libzip. The
// lifetime collection's import package, the import tests and the benchmarks are built with it.
#include <sqlite3.h>
#include <zip.h>
#include <zstd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>


enum class package_form { anki2, anki21, anki21b };

struct deck_note {
    int64_t id;
    std::string fields;  // separated by 0x1f
    int64_t deck = 1;
    int type = 0;  // of its card: 0 new, 2 review
    int64_t due = 0;
    int64_t ivl = 0;
    int64_t reps = 0;
};

struct deck_package {
    package_form form = package_form::anki2;
    int64_t created = 1768478400 - 100 * 86400;  // the collection's day 0: 100 days before the day the tests set their clock to
    std::map<int64_t, std::string> decks = {{1, "Default"}};  // names with "::"
    std::vector<deck_note> notes;
    std::map<std::string, std::string> media;  // file name -> contents
    std::vector<std::pair<std::string, std::string>> extra_entries;  // added to the zip as they are
    bool media_as_protobuf = false;  // forced for anki21b

    std::string build(const std::string& dir) const;
};

inline std::string zstd_packed(const std::string& plain)
{
    std::string out(ZSTD_compressBound(plain.size()), '\0');
    const size_t n = ZSTD_compress(out.data(), out.size(), plain.data(), plain.size(), 3);
    if (ZSTD_isError(n))
        throw std::runtime_error("zstd");
    out.resize(n);
    return out;
}

inline void put_varint(std::string& out, uint64_t v)
{
    for (; v >= 0x80; v >>= 7)
        out.push_back(static_cast<char>(v | 0x80));
    out.push_back(static_cast<char>(v));
}

inline void put_bytes_field(std::string& out, uint32_t field, const std::string& bytes)
{
    put_varint(out, uint64_t{field} << 3 | 2);
    put_varint(out, bytes.size());
    out.append(bytes);
}

inline void sql(sqlite3* d, const std::string& statement)
{
    char* message = nullptr;
    if (sqlite3_exec(d, statement.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
        throw std::runtime_error((message ? message : "?") + (" in " + statement));
}

// A text as an SQL literal, its quotes doubled.
inline std::string sql_quoted(const std::string& s)
{
    char* quoted = sqlite3_mprintf("%Q", s.c_str());
    std::string out = quoted;
    sqlite3_free(quoted);
    return out;
}

inline std::string deck_package::build(const std::string& dir) const
{
    const bool newer = form == package_form::anki21b;
    const std::string db_path = dir + "collection.db";
    std::remove(db_path.c_str());
    sqlite3* d = nullptr;
    sqlite3_open(db_path.c_str(), &d);
    sql(d, "BEGIN");
    sql(d, "CREATE TABLE col (id integer primary key, crt integer not null, mod integer, decks text not null)");
    sql(d, "CREATE TABLE notes (id integer primary key, guid text, mid integer, flds text not null)");
    sql(d, "CREATE TABLE cards (id integer primary key, nid integer not null, did integer not null, ord integer not "
           "null, type integer, queue integer, due integer, ivl integer, reps integer, odid integer, odue integer)");
    std::string decks_json;
    for (const auto& [id, name] : decks)
        decks_json += (decks_json.empty() ? "{\"" : ",\"") + std::to_string(id) + "\": {\"name\": \"" + name + "\", \"id\": " + std::to_string(id) + "}";
    decks_json += decks_json.empty() ? "{}" : "}";
    sql(d, "INSERT INTO col VALUES (1, " + std::to_string(created) + ", 0, " + sql_quoted(newer ? "" : decks_json) + ")");
    if (newer) {
        sql(d, "CREATE TABLE decks (id integer primary key, name text not null)");
        for (const auto& [id, name] : decks) {
            std::string n = name;
            for (size_t at; (at = n.find("::")) != std::string::npos;)
                n.replace(at, 2, "\x1f");
            sql(d, "INSERT INTO decks VALUES (" + std::to_string(id) + ", " + sql_quoted(n) + ")");
        }
    }
    int64_t card_id = 1700000000000;
    for (const deck_note& n : notes) {
        sql(d, "INSERT INTO notes VALUES (" + std::to_string(n.id) + ", 'g', 1, " + sql_quoted(n.fields) + ")");
        // A second card (the reverse) that the import must not count as a second item.
        for (int ord = 1; ord >= 0; --ord)
            sql(d, "INSERT INTO cards VALUES (" + std::to_string(card_id++) + ", " + std::to_string(n.id) + ", " +
                       std::to_string(n.deck) + ", " + std::to_string(ord) + ", " + std::to_string(ord ? 0 : n.type) +
                       ", " + std::to_string(ord ? 0 : n.type) + ", " + std::to_string(n.due) + ", " +
                       std::to_string(n.ivl) + ", " + std::to_string(n.reps) + ", 0, 0)");
    }
    sql(d, "COMMIT");
    sqlite3_close(d);
    std::ifstream db_file(db_path, std::ios::binary);
    std::string collection((std::istreambuf_iterator<char>(db_file)), std::istreambuf_iterator<char>());

    const std::string path = dir + "deck.apkg";
    std::remove(path.c_str());
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    std::vector<std::string> keep;  // libzip reads the buffers when it closes the archive
    keep.reserve(64 + media.size() + extra_entries.size());
    const auto add = [&](const std::string& name, std::string bytes) {
        keep.push_back(std::move(bytes));
        zip_source_t* s = zip_source_buffer(z, keep.back().data(), keep.back().size(), 0);
        zip_file_add(z, name.c_str(), s, ZIP_FL_OVERWRITE);
    };
    switch (form) {
    case package_form::anki2: add("collection.anki2", collection); break;
    case package_form::anki21:
        add("collection.anki2", "stub that must not be read");
        add("collection.anki21", collection);
        break;
    case package_form::anki21b:
        add("collection.anki2", "stub that must not be read");
        add("collection.anki21b", zstd_packed(collection));
        break;
    }
    std::string map;
    if (newer || media_as_protobuf) {
        for (const auto& [name, contents] : media) {
            std::string entry;
            put_bytes_field(entry, 1, name);
            put_varint(entry, 2 << 3 | 0);
            put_varint(entry, contents.size());
            put_bytes_field(map, 1, entry);
        }
        if (newer)
            map = zstd_packed(map);
    } else {
        size_t i = 0;
        for (const auto& [name, contents] : media)
            map += (map.empty() ? "{\"" : ", \"") + std::to_string(i++) + "\": \"" + name + "\"";
        map += i ? "}" : "{}";
    }
    add("media", map);
    size_t i = 0;
    for (const auto& [name, contents] : media) {
        if (newer) {
            add(std::to_string(i++), zstd_packed(contents));
            continue;
        }
        // Read where they are: a benchmark's gigabytes of pictures are not copied again.
        zip_source_t* s = zip_source_buffer(z, contents.data(), contents.size(), 0);
        zip_file_add(z, std::to_string(i++).c_str(), s, ZIP_FL_OVERWRITE);
    }
    for (const auto& [name, bytes] : extra_entries)
        add(name, bytes);
    zip_close(z);
    return path;
}
