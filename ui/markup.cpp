#include "ui/markup.h"

#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTextDocument>

#include <algorithm>

#include "database/database.h"
#include "services/log.h"
#include "settings/settings_store.h"
#include "ui/media.h"
#include "ui/window_state.h"
#include "services/services_state.h"

namespace {

constexpr std::string_view img_open = "<img>";
constexpr std::string_view img_close = "</img>";
constexpr std::string_view snd_open = "<snd>";
constexpr std::string_view snd_close = "</snd>";

bool is_format_letter(char c) { return c == 'b' || c == 'u' || c == 's' || c == 'i'; }

// Moves every complete element of one kind from text to media; the path of each, in order.
std::vector<std::string> cut_elements(std::string& media, std::string& text, std::string_view open,
    std::string_view close)
{
    std::vector<std::string> paths;
    for (size_t start = text.find(open); start != std::string::npos; start = text.find(open)) {
        const size_t end = text.find(close, start + open.size());
        if (end == std::string::npos)
            break;  // unclosed: it stays in the text, and so do the elements after it
        const size_t length = end + close.size() - start;
        media.append(text, start, length);
        paths.emplace_back(text, start + open.size(), end - start - open.size());
        text.erase(start, length);
    }
    return paths;
}

// The data directory that relative media paths are taken from: the one in the settings, so
// that a changed path applies at once.
std::string media_directory()
{
    if (const settings* s = ui().settings_record.get())
        return to_utf8(s->pathtodatadir);
    return services().data_dir;
}

}  // namespace

std::string strip_format_tags(std::string_view source)
{
    std::string destination;
    destination.reserve(source.size());
    size_t depth = 0;
    for (size_t i = 0; i < source.size();) {
        if (source[i] == '<' && i + 2 < source.size() && is_format_letter(source[i + 1]) && source[i + 2] == '>') {
            i += 3;
            ++depth;
        } else if (source[i] == '<' && depth > 0 && i + 3 < source.size() && source[i + 1] == '/'
            && is_format_letter(source[i + 2]) && source[i + 3] == '>') {
            i += 4;
            --depth;
        } else {
            destination.push_back(source[i++]);
        }
    }
    return destination;
}

std::vector<std::string> cut_media(std::string& media, std::string& text)
{
    media.clear();
    cut_elements(media, text, img_open, img_close);
    return cut_elements(media, text, snd_open, snd_close);
}

void extract_media(std::string& media, std::string& text) { play_sounds(cut_media(media, text)); }

void play_sounds(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        if (const std::optional<QString> file = media_file(path)) {
            sound_player& player = sounds();
            player.stop();
            player.play(*file);
        }
    }
}

std::optional<QString> media_file(std::string_view path)
{
    // A drive-letter path of the handheld names nothing here.
    if (path.empty() || (path.size() >= 2 && path[1] == ':'))
        return std::nullopt;
    std::string joined;
    if (path.front() != '/' && path.front() != '\\') {
        joined = media_directory();
        if (joined.empty())
            return std::nullopt;
        if (joined.back() != '/' && joined.back() != '\\')
            joined.push_back('/');
    }
    joined.append(path);
    backslashes_to_slashes(joined);
    // //host/... (or \\host\...) names a file on another computer, which the desktop would
    // fetch over the network: like a drive-letter path, it names nothing here.
    if (joined.starts_with("//")) {
        write_log("WARNING: Media path names another computer, ignored: %.80s\n", joined.c_str());
        return std::nullopt;
    }
    if (joined.size() > max_media_path_bytes || joined.find('\0') != std::string::npos) {
        write_log("WARNING: Media path too long or not a path, ignored: %.80s\n", joined.c_str());
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString file = decoder(QByteArrayView(joined.data(), static_cast<qsizetype>(joined.size())));
    if (decoder.hasError()) {
        write_log("WARNING: Media path is not UTF-8, ignored: %.80s\n", joined.c_str());
        return std::nullopt;
    }
    return file;
}

bool has_picture(const std::string& media) { return media.find(img_open) != std::string::npos; }

void open_picture(const std::string& media)
{
    const size_t start = media.find(img_open);
    if (start == std::string::npos)
        return;
    const size_t end = media.find(img_close, start + img_open.size());
    if (end == std::string::npos)
        return;
    const std::optional<QString> file =
        media_file(std::string_view(media).substr(start + img_open.size(), end - start - img_open.size()));
    if (!file)
        return;
    // The desktop opens a file with whatever handles its type; only pictures are handed over,
    // so that an item cannot make a double tap start a program.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(*file);
    if (!type.name().startsWith(QLatin1String("image/"))) {
        write_log("WARNING: Not a picture, not opened: %s\n", file->toUtf8().constData());
        return;
    }
    pictures().open(*file);
}

size_t display_length(std::string_view text)
{
    size_t length = text.size();
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            ++length;
    return length;
}

bool set_box_text(QPlainTextEdit* box, const std::string& text)
{
    if (display_length(text) > max_text_bytes)
        return false;
    // The box breaks lines at a line feed alone; a carriage return before one is dropped.
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box->setPlainText(shown);
    box->document()->setModified(false);
    return true;
}

namespace {

QByteArray box_utf8(const QPlainTextEdit* box)
{
    // The raw text keeps no-break spaces, which the plain-text export would turn into blanks.
    QString raw = box->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    raw.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return raw.toUtf8();
}

}  // namespace

std::optional<std::string> get_box_text(const QPlainTextEdit* box)
{
    const QByteArray utf8 = box_utf8(box);
    if (static_cast<size_t>(utf8.size()) > max_text_bytes)
        return std::nullopt;
    return utf8.toStdString();
}

size_t box_text_length(const QPlainTextEdit* box) { return static_cast<size_t>(box_utf8(box).size()); }

void remove_cr_before_lf(std::string& text)
{
    size_t out = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        text[out++] = text[i];
    }
    text.resize(out);
}

void backslashes_to_slashes(std::string& text) { std::replace(text.begin(), text.end(), '\\', '/'); }

QString too_long_text(const QString& what, size_t length)
{
    return QStringLiteral("%1 is %2 bytes long in UTF-8, counting two bytes for each line break. It may be at "
                          "most 8,191 bytes.")
        .arg(what)
        .arg(static_cast<qulonglong>(length));
}
