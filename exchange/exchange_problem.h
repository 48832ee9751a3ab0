#pragma once
// Why an import or an export did not do all it was asked, as a code and what its message
// names. The library keeps no sentence for the user: the window words each code in the
// user's language, and the log gets the code's name.
#include <cstdint>
#include <string>

enum class exchange_problem_code : uint8_t {
    none,
    // The whole file: nothing was imported or written.
    cannot_open,  // path, os_error
    cannot_read,  // path, os_error
    cannot_create,  // path, os_error
    cannot_write,  // path, os_error
    file_too_large,  // a text file past 256 MiB
    unknown_separator,  // line, name: the separator the header asks for
    quote_not_closed,  // line: where the quoted field began
    not_a_package,  // path, detail: libzip's reason
    too_many_files,  // limit: the files a package may hold
    no_package_open,
    member_unreadable,  // name: the package's file; detail: libzip's reason
    member_too_large,  // name, limit in bytes
    package_too_large,  // limit in bytes
    member_damaged,  // name, detail: libzip's or zstd's reason
    out_of_memory,  // name: the package's file being unpacked
    member_cut_off,  // name: ends inside its compressed data
    media_not_renamed,  // name: the media file; path: the media folder; os_error
    media_not_synced,  // path: the media folder; os_error
    no_collection,
    no_scratch_folder,  // path: the folder that refused; os_error
    no_room_for_collection,  // path: the folder; size: needed; limit: free
    collection_not_opened,  // detail: SQLite's reason
    collection_unknown,  // detail: SQLite's reason
    collection_damaged,  // detail: SQLite's reason
    media_list_damaged,
    no_collection_record,
    deck_list_damaged,
    categories_too_deep,  // limit: the levels the XML form keeps
    item_not_exportable,  // name: the start of the item's question
    category_table_damaged,
    // One item or media file left out; the others were imported.
    text_missing,  // field
    text_holds_nul,  // field
    text_not_utf8,  // field
    text_too_long,  // field, size: its length on screen
    text_holds_closing_tag,
    category_not_made,  // name: the path asked for; detail: the category taken instead; limit
    media_missing,  // media, name
    media_name_escapes,  // media, name
    media_too_large,  // media, name, size, limit in bytes
    media_folder_not_made,  // media, name, path: the folder; os_error
    media_no_room,  // media, name, path: the folder; size: needed; limit: free
};

// Which text of an item a problem is about.
enum class text_field : uint8_t { question, answer };
// Which kind of media file a problem is about.
enum class media_kind : uint8_t { picture, sound };
// Where the file holds the item a problem is about.
enum class item_place : uint8_t {
    none,  // the file as a whole, or no single item
    line,  // a line of a text file
    note,  // a note of a package, by its id
};

struct exchange_problem {
    exchange_problem_code code = exchange_problem_code::none;  // what went wrong
    item_place place = item_place::none;  // where the item stands, with place_number
    uint64_t place_number = 0;  // the line or the note id
    std::string path{};  // the file or folder that refused
    std::string name{};  // the separator, package file, media file, category or question named
    std::string detail{};  // a library's own reason, or the category taken instead
    int os_error = 0;  // errno, when the system refused
    uint64_t line = 0;  // the line of the file's header or field
    uint64_t size = 0;  // bytes, or the length of a text
    uint64_t limit = 0;  // the limit broken, or the bytes free
    text_field field = text_field::question;  // for the text_ codes
    media_kind media = media_kind::picture;  // for the media_ codes
    explicit operator bool() const { return code != exchange_problem_code::none; }
};

// The code's name and what it names, in one line for the log (which stays in English).
std::string log_text(const exchange_problem& problem);
