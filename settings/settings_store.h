#pragma once
// The user's preferences: one record, loaded when the main window is created and saved when it
// is destroyed. Stored with QSettings (native format, user scope, organisation "Cardwright").
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QSettings;

// Limits of the stored texts, in UTF-16 units without the terminator.
constexpr int max_data_dir_units = 259;
constexpr int max_face_units = 31;
// Enough bits for the largest possible category table (16-bit indexes).
constexpr int max_category_set_bytes = 65536 / 8;
// The UTF-8 conversion buffer of to_utf8, with its terminator.
constexpr int utf8_path_buffer_size = 260;

using category_set = std::optional<std::vector<uint8_t>>;

struct settings {
    QString pathtodatadir;  // ends with '/'
    uint32_t qcleartype = 2;  // 0 off, 1 on, 2 not chosen yet
    uint32_t acleartype = 2;
    QString qfontface;  // empty: the box's current font
    QString afontface;
    int32_t qfontsize = 0;  // 0: not chosen
    int32_t afontsize = 0;
    uint32_t randompick = 0;
    category_set acs1;  // "Go through scheduled reviews"
    category_set acs2;  // "Add items from queue"
    category_set acs4;  // "Force reviews"
    uint32_t acs3 = 0;  // the category for "Add new items"

    // Not one of the handheld's values: a desktop window remembers where it was.
    QByteArray window_geometry;
    QByteArray main_splitter;  // the main window's division between the overview and the screens
    QString backup_before_restore;  // the name of the backup that kept the database as the last restore found it
    QString syncfolder;  // the folder a sync service keeps in step with other computers; empty: off
    // Per machine that uses these settings (by this_machine()), its id in the sync folder, made at
    // its first use there: a home directory copied to another machine, or one shared by two over
    // the network, gives each machine a log of its own, which only it writes.
    std::map<QString, uint64_t> computer_ids;
};

// What tells this machine from another that uses the same settings: /etc/machine-id, or the host
// name where there is none; hashed, so that the settings do not pass the machine's own id on.
QString this_machine();
// The id of `machine` in the sync folder: the stored one, or a new one made and stored now.
uint64_t sync_computer_id(settings* record, const QString& machine = this_machine());
// `id` becomes the id of `machine` from now on, stored at once: another computer (a copy of this
// system, /etc/machine-id and all) was found writing under the old one.
void keep_computer_id(settings* record, uint64_t id, const QString& machine = this_machine());

// The store that load_settings and save_settings use.
std::unique_ptr<QSettings> open_settings_store();

settings* load_settings(settings* record);
void save_settings(settings* record);

// The documents folder followed by "cardwrightdb/"; the documents folder is created if missing.
QString default_data_dir();

// A data directory as typed or stored, made absolute: "~" and "~/..." stand for the home folder,
// a relative path is taken under it, either separator is accepted, and it ends with '/'. Empty
// stays empty; a path that would not fit the stored field is returned as it was.
QString resolve_data_dir(const QString& path);
// A path as typed, taken as a shell takes it: "~" and "~/..." in the home folder, a relative one
// under `base`, never under the current directory, which depends on how the program was started.
QString expand_typed_path(const QString& typed, const QString& base);

// The UTF-8 form in one static buffer of 260 bytes, overwritten by each call. A text whose
// UTF-8 form does not fit gives an empty text rather than a cut one, which could name a
// different directory.
const char* to_utf8(const QString& text);
