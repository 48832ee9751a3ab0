#include "settings/settings_store.h"

#include "formats/change_log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVariant>

#include <cstring>

namespace {

// Returns the value as a 32-bit number, or nothing when it is missing or not a number.
std::optional<uint32_t> read_dword(const QSettings& store, const char* name)
{
    const QVariant value = store.value(QLatin1String(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    // Signed values (the font heights) are stored as their two's-complement bit pattern.
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > UINT32_MAX) {
        qWarning("Cardwright: ignoring the setting \"%s\", which is not a 32-bit number", name);
        return std::nullopt;
    }
    return static_cast<uint32_t>(number);
}

// A computer id as stored, in hex; 0 when it is missing or damaged.
uint64_t read_computer_id(const QSettings& store, const QString& name)
{
    bool ok = false;
    const uint64_t id = store.value(name).toString().toULongLong(&ok, 16);
    return ok ? id : 0;
}

// A text that does not fit its field is refused, as a registry read into a short buffer fails.
std::optional<QString> read_text(const QSettings& store, const char* name, int max_units)
{
    const QVariant value = store.value(QLatin1String(name));
    if (!value.isValid())
        return std::nullopt;
    QString text = value.toString();
    const qsizetype end = text.indexOf(QChar(0));
    if (end >= 0)
        text.truncate(end);
    if (text.size() > max_units) {
        qWarning("Cardwright: ignoring the setting \"%s\", which is longer than %d characters", name, max_units);
        return std::nullopt;
    }
    return text;
}

category_set read_category_set(const QSettings& store, const char* name)
{
    const QVariant value = store.value(QLatin1String(name));
    if (!value.isValid())
        return std::nullopt;
    const QByteArray bytes = value.toByteArray();
    if (bytes.size() > max_category_set_bytes) {
        qWarning("Cardwright: ignoring the category set \"%s\", which is longer than any category table", name);
        return std::nullopt;
    }
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void write_category_set(QSettings& store, const char* name, const category_set& set)
{
    if (!set)
        return;
    store.setValue(QLatin1String(name),
        QByteArray(reinterpret_cast<const char*>(set->data()), static_cast<qsizetype>(set->size())));
}

}  // namespace

std::unique_ptr<QSettings> open_settings_store()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Cardwright"));
}

QString default_data_dir()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    QDir().mkpath(documents);
    if (!documents.endsWith(QLatin1Char('/')))
        documents += QLatin1Char('/');
    return documents + QStringLiteral("cardwrightdb/");
}

settings* load_settings(settings* record)
{
    *record = settings{};
    const auto store = open_settings_store();
    if (store->status() != QSettings::NoError) {
        record->pathtodatadir = default_data_dir();
        return record;
    }
    const std::optional<QString> path = read_text(*store, "pathtodatadir", max_data_dir_units);
    record->pathtodatadir = path && !path->isEmpty() ? resolve_data_dir(*path) : default_data_dir();

    if (auto v = read_dword(*store, "qcleartype"))
        record->qcleartype = *v;
    if (auto v = read_dword(*store, "acleartype"))
        record->acleartype = *v;
    if (auto v = read_dword(*store, "qfontsize"))
        record->qfontsize = static_cast<int32_t>(*v);
    if (auto v = read_dword(*store, "afontsize"))
        record->afontsize = static_cast<int32_t>(*v);
    if (auto v = read_dword(*store, "randompick"))
        record->randompick = *v;
    if (auto v = read_dword(*store, "acs3"))
        record->acs3 = *v;

    if (auto face = read_text(*store, "qfontface", max_face_units))
        record->qfontface = *face;
    if (auto face = read_text(*store, "afontface", max_face_units))
        record->afontface = *face;

    record->acs1 = read_category_set(*store, "acs1");
    record->acs2 = read_category_set(*store, "acs2");
    record->acs4 = read_category_set(*store, "acs4");

    record->window_geometry = store->value(QStringLiteral("windowgeometry")).toByteArray();
    record->main_splitter = store->value(QStringLiteral("mainsplitter")).toByteArray();
    record->backup_before_restore = store->value(QStringLiteral("backupbeforerestore")).toString();
    record->syncfolder = store->value(QStringLiteral("syncfolder")).toString();
    // Kept by a version that knew one id only: it is this machine's, the one that used it so far,
    // and moves under its key at once, before a copy of the file could take it to another machine.
    if (const uint64_t id = read_computer_id(*store, QStringLiteral("computerid")); id != 0) {
        const QString key = QStringLiteral("computerids/") + this_machine();
        if (!store->contains(key))
            store->setValue(key, QString::number(id, 16));
        store->remove(QStringLiteral("computerid"));
    }
    store->beginGroup(QStringLiteral("computerids"));
    for (const QString& machine : store->childKeys())
        if (const uint64_t id = read_computer_id(*store, machine); id != 0)
            record->computer_ids[machine] = id;
    store->endGroup();
    return record;
}

void save_settings(settings* record)
{
    const auto store = open_settings_store();
    store->setValue(QStringLiteral("pathtodatadir"), record->pathtodatadir.left(max_data_dir_units));
    store->setValue(QStringLiteral("qcleartype"), record->qcleartype);
    store->setValue(QStringLiteral("acleartype"), record->acleartype);
    store->setValue(QStringLiteral("qfontsize"), record->qfontsize);
    store->setValue(QStringLiteral("afontsize"), record->afontsize);
    store->setValue(QStringLiteral("randompick"), record->randompick);
    store->setValue(QStringLiteral("qfontface"), record->qfontface.left(max_face_units));
    store->setValue(QStringLiteral("afontface"), record->afontface.left(max_face_units));
    store->setValue(QStringLiteral("acs3"), record->acs3);
    write_category_set(*store, "acs1", record->acs1);
    write_category_set(*store, "acs2", record->acs2);
    write_category_set(*store, "acs4", record->acs4);
    if (!record->window_geometry.isEmpty())
        store->setValue(QStringLiteral("windowgeometry"), record->window_geometry);
    if (!record->main_splitter.isEmpty())
        store->setValue(QStringLiteral("mainsplitter"), record->main_splitter);
    if (!record->backup_before_restore.isEmpty())
        store->setValue(QStringLiteral("backupbeforerestore"), record->backup_before_restore);
    store->setValue(QStringLiteral("syncfolder"), record->syncfolder);
    // Each machine's own key: one that shares the file keeps the id another machine added meanwhile.
    for (const auto& [machine, id] : record->computer_ids)
        store->setValue(QStringLiteral("computerids/") + machine, QString::number(id, 16));
    store->sync();
}

QString this_machine()
{
    QByteArray machine = QSysInfo::machineUniqueId();
    if (machine.isEmpty())
        machine = "host " + QSysInfo::machineHostName().toUtf8();
    return QString::fromLatin1(
        QCryptographicHash::hash("Cardwright computer id\n" + machine, QCryptographicHash::Sha256).toHex().left(32));
}

uint64_t sync_computer_id(settings* record, const QString& machine)
{
    // Kept at once: a second id for the same machine would orphan its log.
    if (record->computer_ids[machine] == 0)
        keep_computer_id(record, new_computer_id(), machine);
    return record->computer_ids[machine];
}

void keep_computer_id(settings* record, uint64_t id, const QString& machine)
{
    record->computer_ids[machine] = id;
    const auto store = open_settings_store();
    store->setValue(QStringLiteral("computerids/") + machine, QString::number(id, 16));
    store->sync();
}

QString expand_typed_path(const QString& typed, const QString& base)
{
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        return QDir::homePath() + typed.mid(1);
    return QDir::isAbsolutePath(typed) ? typed : base + QLatin1Char('/') + typed;
}

QString resolve_data_dir(const QString& path)
{
    if (path.isEmpty())
        return path;
    QString resolved = QDir::cleanPath(expand_typed_path(QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')), QDir::homePath()));
    if (!resolved.endsWith(QLatin1Char('/')))
        resolved += QLatin1Char('/');
    // A cut path would name another directory.
    return resolved.size() <= max_data_dir_units ? resolved : path;
}

const char* to_utf8(const QString& text)
{
    static char buffer[utf8_path_buffer_size];
    qsizetype end = text.indexOf(QChar(0));
    const QByteArray utf8 = (end >= 0 ? text.left(end) : text).toUtf8();
    if (utf8.size() >= utf8_path_buffer_size) {
        buffer[0] = '\0';
        return buffer;
    }
    std::memcpy(buffer, utf8.constData(), static_cast<size_t>(utf8.size()) + 1);
    return buffer;
}
