
#include <tuple>

#include "settings/settings_store.h"
#include "support/qt_test_support.h"

namespace {

class SettingsStore : public qt_test {};

// The handheld's fields of a record, to compare records whole.
auto fields(const settings& s)
{
    return std::tuple(s.pathtodatadir, s.qcleartype, s.acleartype, s.qfontface, s.afontface, s.qfontsize, s.afontsize,
        s.randompick, s.acs1, s.acs2, s.acs3, s.acs4);
}

}  // namespace

TEST_F(SettingsStore, ValuesWrittenAreReadBackWithTheirNamesAndTypesAndMissingOrDamagedOnesLeaveTheDefaults)
{
    settings s;
    s.qfontsize = 99;  // whatever the record held before is replaced
    load_settings(&s);
    const category_set none;
    EXPECT_EQ(fields(s), std::tuple(default_dir(), 2u, 2u, QString(), QString(), 0, 0, 0u, none, none, 0u, none));
    EXPECT_TRUE(QDir(QString::fromStdString(home_->path()) + "Documents").exists() && !QFile::exists(settings_file()));
    s = settings();
    s.pathtodatadir = QString::fromUtf8("/tmp/Zürich data/");
    s.qcleartype = 1;
    s.acleartype = 0;
    s.qfontface = QStringLiteral("DejaVu Serif");
    s.afontface = QString(40, QLatin1Char('F'));  // longer than the field
    s.qfontsize = -17;
    s.afontsize = 32;
    s.randompick = 1;
    s.acs1 = std::vector<uint8_t>{0x05, 0x00, 0x80};
    s.acs2 = std::vector<uint8_t>{};
    s.acs3 = 7;
    save_settings(&s);

    QSettings raw(settings_file(), QSettings::NativeFormat);
    EXPECT_EQ(raw.value("acs1").toByteArray(), QByteArray("\x05\x00\x80", 3));
    EXPECT_EQ(raw.value("acs1").typeId(), QMetaType::QByteArray);
    EXPECT_TRUE(raw.contains("acs2") && !raw.contains("acs4") && raw.value("qfontsize").toInt() == -17);

    settings back;
    load_settings(&back);
    settings expected = s;
    expected.afontface.truncate(max_face_units);
    EXPECT_EQ(fields(back), fields(expected));

    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, QVariant>>{{"pathtodatadir", ""},
             {"qcleartype", "yes please"}, {"acleartype", "99999999999"}, {"qfontsize", "-12"},
             {"qfontface", QString(200, QLatin1Char('x'))}, {"acs1", QByteArray(max_category_set_bytes + 1, '\xff')},
             {"acs4", QByteArray(max_category_set_bytes, '\x01')}})
        QSettings(settings_file(), QSettings::NativeFormat).setValue(key, value);
    s = settings();
    load_settings(&s);
    EXPECT_EQ(std::tuple(s.pathtodatadir, s.qcleartype, s.acleartype, s.qfontsize, s.qfontface, s.acs1),
        std::tuple(default_dir(), 2u, 2u, -12, QString(), category_set()));
    EXPECT_EQ(s.acs4.value_or(std::vector<uint8_t>{}).size(), static_cast<size_t>(max_category_set_bytes));
    QSettings(settings_file(), QSettings::NativeFormat).setValue("pathtodatadir", QString(max_data_dir_units + 1, QLatin1Char('d')));
    load_settings(&s);
    EXPECT_EQ(s.pathtodatadir, default_dir());
}

TEST_F(SettingsStore, DataPathsAreTakenUnderHomeAndToUtf8RefusesWhatDoesNotFit)
{
    for (const auto& [typed, folder] : {std::pair{"~/flashcards/german", "flashcards/german/"}, {"cards", "cards/"}, {"~", ""}})
        EXPECT_EQ(resolve_data_dir(QString::fromUtf8(typed)), QDir::homePath() + QLatin1Char('/') + QString::fromUtf8(folder)) << typed;

    EXPECT_STREQ(to_utf8(QString::fromUtf8("/data/\u00e9t\u00e9/")), "/data/\xc3\xa9t\xc3\xa9/");

    EXPECT_STREQ(to_utf8(QString(utf8_path_buffer_size - 1, QLatin1Char('a'))),
        std::string(utf8_path_buffer_size - 1, 'a').c_str());
    // A cut path could name another directory: nothing is given instead.
    EXPECT_STREQ(to_utf8(QString(utf8_path_buffer_size, QLatin1Char('a'))), "");
    EXPECT_STREQ(to_utf8(QString(130, QChar(0x00e9))), "");  // 130 units, 260 bytes
    EXPECT_STREQ(to_utf8(QStringLiteral("/a/") + QChar(0) + QStringLiteral("b")), "/a/");
}

// One settings file on several machines (a copied or shared home): each keeps an id of its own;
// the one id an older version kept stays this machine's.
TEST_F(SettingsStore, EachMachineKeepsAComputerIdOfItsOwn)
{
    QSettings(settings_file(), QSettings::NativeFormat).setValue("computerid", "abc");
    settings s;
    load_settings(&s);
    EXPECT_FALSE(QSettings(settings_file(), QSettings::NativeFormat).contains("computerid")) << "a copy would take it";
    const QString other = QStringLiteral("another machine");
    const uint64_t others = sync_computer_id(&s, other);
    EXPECT_NE(others, 0xabcu);
    for (const QString& machine : {this_machine(), other, this_machine()}) {
        settings again;
        load_settings(&again);
        EXPECT_EQ(sync_computer_id(&again, machine), machine == other ? others : 0xabcu);
        save_settings(&again);
    }
}
