#pragma once
// The markup inside item texts (formatting tags, picture and sound elements), and how texts
// cross between the database's UTF-8 and the two text boxes.
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;

// The on-screen text buffers hold 8,192 bytes with the terminator.
constexpr size_t text_buffer_size = 8192;
constexpr size_t max_text_bytes = text_buffer_size - 1;
// Joined media paths, in UTF-8 without the terminator.
constexpr size_t max_media_path_bytes = 511;

// The text without "<b>", "<u>", "<s>", "<i>" and, inside them, their closing tags.
std::string strip_format_tags(std::string_view source);

// A stretch of displayed text with the formatting that the tags around it give.
enum format_flag : unsigned { format_bold = 1, format_italic = 2, format_underline = 4, format_strike = 8 };
struct format_run {
    std::string text;  // as strip_format_tags leaves it
    unsigned flags = 0;  // format_flag bits
};
// The text cut where its formatting changes; the runs' texts together are strip_format_tags'
// result. A closing tag ends the innermost open one, whatever its letter.
std::vector<format_run> format_runs(std::string_view source);

// Cuts every complete picture element, then every complete sound element out of `text` and
// puts them into `media` in that order. Returns the paths of the sound elements, in order.
std::vector<std::string> cut_media(std::string& media, std::string& text);
// cut_media, then the sounds are started one after the other, so the last one is heard.
void extract_media(std::string& media, std::string& text);
void play_sounds(const std::vector<std::string>& paths);
// The file that a media path names, or none when the path is to be ignored: a second
// character ":", an empty path, a path that is not UTF-8 or too long once joined.
std::optional<QString> media_file(std::string_view path);
// The file of the first picture element of a media buffer when it may be opened: a file of a
// picture type, so that an item cannot make a double tap start a program.
std::optional<QString> picture_file(const std::string& media);
// Opens the first picture element of a media buffer in the picture viewer.
void open_picture(const std::string& media);
// Draws the first picture of a media buffer below the text of a box (an item_box); none when
// the buffer has none or it cannot be read, which the log tells.
void set_box_picture(QPlainTextEdit* box, const std::string& media);
// The paths of the sound elements of a media buffer, in order.
std::vector<std::string> sound_paths(const std::string& media);
bool has_picture(const std::string& media);

// Bytes of the text as a box holds it, with a carriage return before every line feed.
size_t display_length(std::string_view text);
// Shows a UTF-8 text in a box; false (and the box untouched) when it would not fit the
// on-screen buffer.
bool set_box_text(QPlainTextEdit* box, const std::string& text);
// Shows a text as an item is displayed: tags hidden and their formatting drawn, followed by
// " <img>" when it has a picture. False (and the box untouched) when it would not fit.
bool set_box_display(QPlainTextEdit* box, const std::string& text, bool picture);
// The box's text in UTF-8 with CR LF line ends, or none when it exceeds max_text_bytes.
std::optional<std::string> get_box_text(const QPlainTextEdit* box);
// The length in bytes that get_box_text measures, for the message that refuses a text.
size_t box_text_length(const QPlainTextEdit* box);
void remove_cr_before_lf(std::string& text);
// Paths may be written with either separator; the native one is the slash.
void backslashes_to_slashes(std::string& text);

// "The question is ... It may be at most 8,191 bytes ..." for a refused text.
QString too_long_text(const QString& what, size_t length);
