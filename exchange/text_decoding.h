#pragma once
// The bytes of a text file as UTF-8, whatever a spreadsheet saved them as: UTF-8 with or
// without its byte-order mark, UTF-16 in either byte order, with or without its mark, or the
// Western European code page of older Windows programs.
#include <cstddef>
#include <string>
#include <string_view>

enum class text_encoding {
    utf8,  // passed on as it is, a leading byte-order mark dropped
    utf16_le,  // "Unicode text" of the usual spreadsheets
    utf16_be,
    windows_1252,  // "ANSI" of Western European Windows, which Latin-1 files read the same as
};

// The encoding of a file that begins with `head`, and the length of its byte-order mark.
struct detected_encoding {
    text_encoding encoding = text_encoding::utf8;
    size_t mark_bytes = 0;  // 0 when the file has none
};
// UTF-16 without a mark is told by its zero bytes: most characters of such a file are ASCII,
// so one of each pair of bytes is zero, always on the same side. A file with bytes that are not
// UTF-8 and not one UTF-8 character of more than a byte is Windows-1252: its accented letters
// stand alone, where UTF-8's come in pairs that a Western text hardly ever forms by chance; a
// file with both is UTF-8 with faults, which the import names line by line. `whole`: `head`
// is the whole file, so a character cut off at its end is a fault.
detected_encoding detect_text_encoding(std::string_view head, bool whole = true);

// Converts a file piece by piece; the first piece decides the encoding, so it should hold a
// few kilobytes unless the file is shorter. A file of plain ASCII there is decided later, at
// its first byte beyond ASCII.
class text_decoder {
public:
    // Appends the UTF-8 form of the next `bytes` to `out`; `last` for the file's final piece.
    // A byte or half surrogate pair cut off at a piece's end waits for the next piece; one left
    // at the end of the file becomes U+FFFD.
    void decode(std::string_view bytes, bool last, std::string& out);
    text_encoding encoding() const { return found_.encoding; }

private:
    void convert(std::string_view bytes, bool last, std::string& out);
    // For a file read as UTF-8 that held only ASCII so far, which either encoding reads alike:
    // its first byte beyond ASCII decides, as the first piece would have.
    void convert_ascii_so_far(std::string_view bytes, bool last, std::string& out);

    bool started_ = false;
    std::string head_;  // the first bytes, until there are enough to tell the encoding
    detected_encoding found_;
    std::string carry_;  // bytes of an unfinished UTF-16 unit or pair, or of a UTF-8 character cut off
    bool ascii_so_far_ = false;  // read as UTF-8 without a mark, and no byte beyond ASCII met yet
};
