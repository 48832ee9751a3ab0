#include "ui/problem_texts.h"

#include <cerrno>
#include <cstring>

#include <QLocale>

#include "exchange/exchange_problem.h"
#include "session/save_problem.h"
#include "session/sync_state.h"

namespace {

QString text_of(const std::string& s) { return QString::fromStdString(s); }
QString number(uint64_t n) { return QLocale().toString(static_cast<qulonglong>(n)); }

}  // namespace

QString problem_texts::system(int os_error)
{
    // The C library's own texts are English here: the usual ones have a translation of ours.
    switch (os_error) {
    case ENOSPC: return tr("No space left on device");
    case EDQUOT: return tr("Disk quota exceeded");
    case EACCES: return tr("Permission denied");
    case EPERM: return tr("Operation not permitted");
    case EROFS: return tr("Read-only file system");
    case ENOENT: return tr("No such file or directory");
    case ENOTDIR: return tr("Not a directory");
    case EISDIR: return tr("Is a directory");
    case EEXIST: return tr("File exists");
    case EIO: return tr("Input/output error");
    case ENAMETOOLONG: return tr("File name too long");
    case EFBIG: return tr("File too large");
    case ENOLCK: return tr("No locks available");
    default: return QString::fromLocal8Bit(std::strerror(os_error));
    }
}

QString problem_texts::size(uint64_t bytes)
{
    if (bytes < (uint64_t{1} << 20))
        return tr("%1 bytes").arg(number(bytes));
    return tr("%1 MiB").arg(number((bytes + (1 << 20) - 1) >> 20));
}

QString problem_texts::exchange(const exchange_problem& p)
{
    using enum exchange_problem_code;
    const QString path = text_of(p.path);
    const QString name = text_of(p.name);
    const QString detail = text_of(p.detail);
    const QString error = system(p.os_error);
    const bool sound = p.media == media_kind::sound;
    const QString media = sound ? tr("the sound \"%1\"").arg(name) : tr("the picture \"%1\"").arg(name);
    const QString field = p.field == text_field::answer ? tr("the answer") : tr("the question");
    QString text;
    switch (p.code) {
    case none: return {};
    case cannot_open: text = tr("cannot open %1: %2").arg(path, error); break;
    case cannot_read: text = tr("cannot read %1: %2").arg(path, error); break;
    case cannot_create: text = tr("cannot create %1: %2").arg(path, error); break;
    case cannot_write: text = tr("cannot write %1: %2").arg(path, error); break;
    case file_too_large: text = tr("the file is larger than 256 MiB; split it into smaller files"); break;
    case unknown_separator:
        text = tr("line %1: the separator \"%2\" is not one this program reads (tab, comma, semicolon, pipe, colon, "
                  "space)").arg(QString::number(p.line), name);
        break;
    case quote_not_closed:
        text = tr("line %1: a quoted field is not closed before the end of the file").arg(QString::number(p.line));
        break;
    case not_a_package: text = tr("%1 is not a package that can be read (%2)").arg(path, detail); break;
    case too_many_files: text = tr("the package holds more than %1 files").arg(number(p.limit)); break;
    case no_package_open: text = tr("no package is open"); break;
    case member_unreadable: text = tr("the package's %1 cannot be read (%2)").arg(name, detail); break;
    case member_too_large: text = tr("the package's %1 unpacks to more than %2").arg(name, size(p.limit)); break;
    case package_too_large: text = tr("the package unpacks to more than %1").arg(size(p.limit)); break;
    case member_damaged: text = tr("the package's %1 is damaged (%2)").arg(name, detail); break;
    case out_of_memory: text = tr("out of memory while unpacking %1").arg(name); break;
    case member_cut_off: text = tr("the package's %1 ends in the middle of its compressed data").arg(name); break;
    case media_not_renamed: text = tr("cannot copy the media file %1 into %2: %3").arg(name, path, error); break;
    case media_not_synced: text = tr("cannot write the media files into %1: %2").arg(path, error); break;
    case no_collection: text = tr("the package holds no collection (collection.anki2, .anki21 or .anki21b)"); break;
    case no_scratch_folder: text = tr("cannot make a temporary folder in %1: %2").arg(path, error); break;
    case no_room_for_collection:
        text = tr("the package's collection needs %1, and %2 has %3 free").arg(size(p.size), path, size(p.limit));
        break;
    case collection_not_opened: text = tr("the package's collection cannot be opened: %1").arg(detail); break;
    case collection_unknown: text = tr("the package's collection is damaged or of an unknown kind (%1)").arg(detail); break;
    case collection_damaged: text = tr("the package's collection is damaged (%1)").arg(detail); break;
    case media_list_damaged: text = tr("the package's list of media files is damaged"); break;
    case no_collection_record: text = tr("the package's collection has no collection record"); break;
    case deck_list_damaged: text = tr("the package's list of decks is damaged"); break;
    case categories_too_deep: text = tr("the categories nest deeper than %1 levels").arg(number(p.limit)); break;
    case item_not_exportable:
        text = tr("the item \"%1\" cannot be written so that the XML reader takes it back (a text too long for a "
                  "multi-line element, or holding both \"]]>\" and its own closing tag)").arg(name);
        break;
    case category_table_damaged:
        text = tr("the category table is damaged: some items belong to no category that can be written");
        break;
    case text_missing: text = p.field == text_field::answer ? tr("no answer") : tr("no question"); break;
    case text_holds_nul: text = tr("%1 holds a NUL byte, which no text of this program can keep").arg(field); break;
    case text_not_utf8: text = tr("%1 is not UTF-8 text").arg(field); break;
    case text_too_long:
        text = tr("%1 is %2 bytes long, counting two for each line break (at most %3)")
                   .arg(field, number(p.size), number(8191));
        break;
    case text_holds_closing_tag: text = tr("a text holds its own closing tag, which queue.txt cannot keep"); break;
    case category_not_made:
        text = tr("the category \"%1\" cannot be made (the database holds %2 categories, the most it can); its items "
                  "go into \"%3\"").arg(name, number(p.limit), detail);
        break;
    case media_missing: text = tr("%1 is not in the package").arg(media); break;
    case media_name_escapes:
        text = tr("%1 would leave the media folder")
                   .arg(sound ? tr("the sound name \"%1\"").arg(name) : tr("the picture name \"%1\"").arg(name));
        break;
    case media_too_large:
        text = tr("%1 is %2, more than the %3 one imported file may take").arg(media, size(p.size), size(p.limit));
        break;
    case media_folder_not_made:
        text = tr("%1 cannot be copied: the folder %2 cannot be made (%3)").arg(media, path, error);
        break;
    case media_no_room:
        text = tr("%1 needs %2, and the disk of %3 has %4 free").arg(media, size(p.size), path, size(p.limit));
        break;
    }
    switch (p.place) {
    case item_place::none: return text;
    case item_place::line: return tr("line %1: %2; left out").arg(QString::number(p.place_number), text);
    case item_place::note: return tr("note %1: %2; left out").arg(QString::number(p.place_number), text);
    }
    return text;
}

QString problem_texts::save(const save_problem& failure)
{
    QString reason;
    switch (failure.obstacle) {
    case save_obstacle::none: return {};
    case save_obstacle::system: reason = system(failure.os_error); break;
    case save_obstacle::read_only_directory: reason = tr("the data directory is read-only"); break;
    case save_obstacle::refused_file_not_kept:
        reason = tr("it could not be read when the database was opened, and no copy of it could be kept");
        break;
    case save_obstacle::holds_database: reason = tr("the folder already holds a database"); break;
    }
    return QStringLiteral("%1:\n%2").arg(text_of(failure.path), reason);
}

QString problem_texts::sync(const sync_problem& problem)
{
    const QString log = text_of(problem.path);
    QString text;
    switch (problem.status) {
    case change_append_status::appended: return {};
    case change_append_status::cannot_open:
        text = tr("The change log \"%1\" cannot be opened: changes made here are kept and reach the other computers "
                  "once the log takes them.").arg(log);
        break;
    case change_append_status::not_a_log:
        text = tr("The file \"%1\" is not this computer's change log: changes made here are kept "
                  "and reach the other computers once the log takes them.").arg(log);
        break;
    case change_append_status::cannot_write:
    case change_append_status::cannot_sync:
        text = tr("The change log \"%1\" cannot be written: changes made here are kept and reach the other computers "
                  "once the log takes them.").arg(log);
        break;
    case change_append_status::another_writer:
        text = tr("Another computer writes this computer's change log \"%1\" under the same identity: it is probably "
                  "a copy of this system. This computer now has an identity of its own, and the record of which "
                  "items are shared was made again from the sync folder. Items whose texts here differ from the "
                  "folder's keep them as a conflict (Browse Items, \"Conflicts...\"); an item deleted here since the "
                  "copy was made may come back.").arg(log);
        break;
    }
    return problem.os_error != 0 ? text + QStringLiteral("\n\n") + system(problem.os_error) : text;
}
