#include "ui/markup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "database/database.h"
#include "services/log.h"
#include "settings/settings_store.h"
#include "ui/item_box.h"
#include "ui/main_window.h"
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

std::vector<format_run> format_runs(std::string_view source)
{
    // The tag letters that are open, innermost last; they follow the depth counter of
    // strip_format_tags exactly.
    std::vector<char> open;
    std::vector<format_run> runs;
    auto flags_now = [&open] {
        unsigned flags = 0;
        for (char c : open)
            flags |= c == 'b' ? format_bold : c == 'i' ? format_italic : c == 'u' ? format_underline : format_strike;
        return flags;
    };
    auto append = [&runs, &flags_now](char c) {
        const unsigned flags = flags_now();
        if (runs.empty() || runs.back().flags != flags)
            runs.push_back({std::string(), flags});
        runs.back().text.push_back(c);
    };
    for (size_t i = 0; i < source.size();) {
        if (source[i] == '<' && i + 2 < source.size() && is_format_letter(source[i + 1]) && source[i + 2] == '>') {
            open.push_back(source[i + 1]);
            i += 3;
        } else if (source[i] == '<' && !open.empty() && i + 3 < source.size() && source[i + 1] == '/'
            && is_format_letter(source[i + 2]) && source[i + 3] == '>') {
            open.pop_back();
            i += 4;
        } else {
            append(source[i++]);
        }
    }
    return runs;
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
            // The player fails without a word; the user would wait for a sound that never comes.
            if (!QFileInfo(*file).isFile()) {
                write_log("WARNING: Sound not found, not played: %s\n", file->toUtf8().constData());
                if (ui().window)
                    ui().window->statusBar()->showMessage(
                        QCoreApplication::translate("markup", "The sound %1 cannot be played: there is no such file")
                            .arg(QDir::toNativeSeparators(*file)));
                continue;
            }
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

std::optional<QString> picture_file(const std::string& media)
{
    const size_t start = media.find(img_open);
    if (start == std::string::npos)
        return std::nullopt;
    const size_t end = media.find(img_close, start + img_open.size());
    if (end == std::string::npos)
        return std::nullopt;
    const std::optional<QString> file =
        media_file(std::string_view(media).substr(start + img_open.size(), end - start - img_open.size()));
    if (!file)
        return std::nullopt;
    // The desktop opens a file with whatever handles its type.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(*file);
    if (!type.name().startsWith(QLatin1String("image/"))) {
        write_log("WARNING: Not a picture, not opened: %s\n", file->toUtf8().constData());
        return std::nullopt;
    }
    return file;
}

// The first picture of a media buffer below the text of a box; none when it cannot be read.
void set_box_picture(QPlainTextEdit* box, const std::string& media)
{
    auto* shown_in = qobject_cast<item_box*>(box);
    if (!shown_in)
        return;
    const std::optional<QString> file = picture_file(media);
    if (!file) {
        shown_in->set_picture(QImage(), has_picture(media)
                ? QCoreApplication::translate("markup", "The picture this item names cannot be shown (error.log says why).")
                : QString());
        return;
    }
    QImageReader reader(*file);
    reader.setAutoTransform(true);
    // A huge picture is read at a size a screen can show, not at its full size.
    const QSize full = reader.size();
    constexpr int largest_side = 4096;
    if (full.isValid() && (full.width() > largest_side || full.height() > largest_side))
        reader.setScaledSize(full.scaled(largest_side, largest_side, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    QString note;
    if (image.isNull()) {
        write_log("WARNING: Cannot show the picture \"%s\": %s\n", file->toUtf8().constData(),
            reader.errorString().toUtf8().constData());
        note = QCoreApplication::translate("markup", "The picture %1 cannot be shown: %2")
                   .arg(QDir::toNativeSeparators(*file), reader.error() == QImageReader::FileNotFoundError
                           ? QCoreApplication::translate("markup", "there is no such file")
                           : reader.errorString());
    }
    shown_in->set_picture(image, note);
}

void open_picture(const std::string& media)
{
    if (const std::optional<QString> file = picture_file(media))
        pictures().open(*file);
}

std::vector<std::string> sound_paths(const std::string& media)
{
    std::string rest = media;
    std::string cut;
    return cut_media(cut, rest);
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
    // The text is shown as typed: nothing of the formatting drawn before carries over.
    box->document()->clear();
    box->setCurrentCharFormat(QTextCharFormat());
    box->setPlainText(shown);
    box->document()->setModified(false);
    return true;
}

bool set_box_display(QPlainTextEdit* box, const std::string& text, bool picture)
{
    const std::string marker = picture ? " <img>" : "";
    if (display_length(strip_format_tags(text) + marker) > max_text_bytes)
        return false;
    QTextDocument* document = box->document();
    // As setPlainText does: the shown text is no step to undo.
    document->setUndoRedoEnabled(false);
    document->clear();
    QTextCursor cursor(document);
    std::vector<format_run> runs = format_runs(text);
    if (picture)
        runs.push_back({marker, 0});
    for (const format_run& run : runs) {
        QString part = QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()));
        part.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QTextCharFormat format;
        format.setFontWeight(run.flags & format_bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic((run.flags & format_italic) != 0);
        format.setFontUnderline((run.flags & format_underline) != 0);
        format.setFontStrikeOut((run.flags & format_strike) != 0);
        cursor.insertText(part, format);
    }
    document->setUndoRedoEnabled(true);
    document->setModified(false);
    box->moveCursor(QTextCursor::Start);
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
    return QCoreApplication::translate("markup", "%1 is %2 bytes long in UTF-8, counting two bytes for each line break. It may be at "
                          "most 8,191 bytes.")
        .arg(what)
        .arg(static_cast<qulonglong>(length));
}
