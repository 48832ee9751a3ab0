
#include "resources/ids.h"
#include "resources/version.h"
#include "settings/dialogs.h"
#include "support/qt_test_support.h"

namespace {

class Dialogs : public qt_test {
protected:
    template <typename T>
    static T* control(QDialog& dialog, int id)
    {
        for (T* candidate : dialog.findChildren<T*>())
            if (candidate->property("control_id").toInt() == id)
                return candidate;
        ADD_FAILURE() << "no control " << id;
        return nullptr;
    }
    std::unique_ptr<QPlainTextEdit> question = std::make_unique<QPlainTextEdit>();
    std::unique_ptr<QPlainTextEdit> answer = std::make_unique<QPlainTextEdit>();
    settings record;
};

QStringList many_families(int n)
{
    QStringList names;
    for (int i = 0; i < n; ++i)
        names << QStringLiteral("Family %1").arg(i, 2, 10, QLatin1Char('0'));
    return names;
}

}  // namespace

// An unknown face gives the first; ClearType never chosen shows what the font does.
TEST_F(Dialogs, FontsOfferTheFirst24FamiliesSizesFrom6To32AndClearTypeAndOkStoresThem)
{
    EXPECT_EQ(first_font_families(many_families(30)), many_families(24));
    QFont plain = question->font();
    plain.setStyleStrategy(QFont::NoAntialias);
    question->setFont(plain);
    record.qcleartype = 2;  // never chosen: the box tells what the font does
    record.acleartype = 2;
    set_box_font_face(question.get(), QStringLiteral("Family 05"));
    set_box_font_face(answer.get(), QStringLiteral("Family 27"));  // not among those offered
    set_box_font_height(question.get(), 15);
    const auto ticked = [](QDialog& dialog) {
        return std::pair(control<QCheckBox>(dialog, id_question_cleartype)->isChecked(), control<QCheckBox>(dialog, id_answer_cleartype)->isChecked());
    };
    {
        fonts_dialog dialog(&record, question.get(), answer.get(), nullptr, many_families(30));
        EXPECT_EQ(ticked(dialog), std::pair(false, true));
        auto* question_face = control<QComboBox>(dialog, id_question_face);
        ASSERT_EQ(question_face->count(), max_font_families);
        EXPECT_EQ(question_face->itemText(23), QStringLiteral("Family 23"));
        EXPECT_EQ(control<QComboBox>(dialog, id_answer_face)->currentIndex(), 0);
        auto* question_size = control<QSlider>(dialog, id_question_size);
        auto* answer_size = control<QSlider>(dialog, id_answer_size);
        auto* shown = dialog.findChild<QLabel*>(QStringLiteral("question_size_value"));
        ASSERT_TRUE(question_size && answer_size && shown);
        EXPECT_TRUE(question_size->value() == 15 && shown->text() == QStringLiteral("15"));
        QTest::keyClick(question_size, Qt::Key_Right);
        EXPECT_EQ(shown->text(), QStringLiteral("16"));
        question_size->setValue(1);
        answer_size->setValue(100);
        EXPECT_TRUE(question_size->value() == min_font_height && answer_size->value() == max_font_height);
        EXPECT_EQ(shown->text(), QStringLiteral("6"));
        dialog.accept();
    }
    // OK turns "never chosen" into a choice and applies it.
    EXPECT_TRUE(record.qcleartype == 0u && record.acleartype == 1u);
    EXPECT_TRUE((question->font().styleStrategy() & QFont::NoAntialias) && (answer->font().styleStrategy() & QFont::PreferAntialias));
    EXPECT_EQ(record.afontface + "|" + answer->font().families().value(0), QStringLiteral("Family 00|Family 00"));
    EXPECT_TRUE(record.qfontsize == 6 && record.afontsize == 32 && question->font().pixelSize() == 6 && answer->font().pixelSize() == 32);
    EXPECT_EQ(question->font().weight(), QFont::Normal);
    record.qcleartype = 1;
    record.acleartype = 0;
    fonts_dialog dialog(&record, question.get(), answer.get());
    EXPECT_EQ(ticked(dialog), std::pair(true, false));
}

TEST_F(Dialogs, SettingsAndFontsAreStoredByOkAndLeftAsTheyWereByEscapeOrCancel)
{
    record.pathtodatadir = QStringLiteral("/data/cards/");
    record.randompick = 1;
    record.qfontsize = 15;
    set_box_font_height(question.get(), 15);
    enum class ending { escape, cancel, ok };
    for (const ending end : {ending::escape, ending::cancel, ending::ok}) {
        const auto finish = [end](QDialog& dialog) {
            dialog.show();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
            if (end == ending::cancel)
                QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            else
                QTest::keyClick(QApplication::focusWidget(), end == ending::ok ? Qt::Key_Return : Qt::Key_Escape);
            EXPECT_FALSE(dialog.isVisible());
        };
        {
            settings_dialog dialog(&record);
            auto* path = control<QLineEdit>(dialog, id_data_path_edit);
            auto* random = control<QCheckBox>(dialog, id_random_pick);
            EXPECT_TRUE(path->text() == QStringLiteral("/data/cards/") && random->isChecked());
            path->setText(QString(300, QLatin1Char('p')));
            random->setChecked(false);
            path->setFocus();
            finish(dialog);
        }
        {
            fonts_dialog dialog(&record, question.get(), answer.get(), nullptr, many_families(3));
            QSlider* size = control<QSlider>(dialog, id_question_size);
            QTest::keyClick(size, Qt::Key_Right);
            size->setFocus();
            finish(dialog);
        }
        const bool stored = end == ending::ok;
        EXPECT_EQ(std::tuple(record.pathtodatadir, record.randompick, record.qfontsize, question->font().pixelSize()),
            stored ? std::tuple(QString(max_data_dir_units, QLatin1Char('p')), 0u, 16, 16)
                   : std::tuple(QStringLiteral("/data/cards/"), 1u, 15, 15))
            << static_cast<int>(end);
    }
}

// A data directory that cannot be made is said under the path at OK, and not taken: the next
// start would fall back on the default.
TEST_F(Dialogs, EachSettingsFieldHasItsAltKeyAndADataPathThatCannotBeMadeIsSaidAndNotTaken)
{
    temp_dir place;
    write_file(place.file("notes.txt"), "a file, not a folder");
    const QString file = QString::fromStdString(place.file("notes.txt"));
    record.pathtodatadir = QString::fromStdString(place.file("cards/"));
    settings_dialog dialog(&record);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* path = control<QLineEdit>(dialog, id_data_path_edit);
    auto* problem = dialog.findChild<QLabel*>(QStringLiteral("data_path_problem"));
    auto* random = control<QCheckBox>(dialog, id_random_pick);
    const auto alt = [](Qt::Key letter) { QTest::keyClick(QApplication::focusWidget(), letter, Qt::AltModifier); };
    alt(Qt::Key_S);
    EXPECT_EQ(QApplication::focusWidget(), dialog.findChild<QLineEdit*>(QStringLiteral("sync_folder")));
    const bool was = random->isChecked();
    alt(Qt::Key_R);
    QTRY_VERIFY(random->isChecked() != was);  // a mnemonic presses the box as a click does, a moment later
    alt(Qt::Key_D);
    EXPECT_EQ(QApplication::focusWidget(), path);
    const std::pair<QString, QString> refused[] = {
        {file, QStringLiteral("%1 is a file, not a folder.").arg(file)},
        {file + QStringLiteral("/deeper/cards"), QStringLiteral("%1/deeper/cards cannot be made: %1 is a file, not a folder.").arg(file)},
    };
    for (const auto& [typed, said] : refused) {
        path->setFocus();
        path->selectAll();
        QTest::keyClicks(path, typed);
        QTest::keyClick(path, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible() && problem && problem->isVisible()) << typed.toStdString();
        EXPECT_EQ(problem ? problem->text() : QString(), said);
        if (problem) {  // every line of it shown, none cut off
            EXPECT_GE(problem->height(), problem->heightForWidth(problem->width())) << typed.toStdString();
        }
        EXPECT_EQ(record.pathtodatadir, QString::fromStdString(place.file("cards/")));
    }
    // A folder still to be made where it can be is taken; it is made at the next start.
    QTest::keyClicks(path, QString::fromStdString(place.file("new/cards")));
    QTest::keyClick(path, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(record.pathtodatadir, QString::fromStdString(place.file("new/cards/")));
}

TEST_F(Dialogs, AboutNamesTheProgramAndItsVersion)
{
    about_dialog dialog;
    EXPECT_EQ(dialog.windowTitle() + "|" + dialog.findChild<QLabel*>(QStringLiteral("about_text"))->text(),
        QStringLiteral("About MobileCardwright|MobileCardwright Version ") + QLatin1String(version_text));
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("about_icon"))->pixmap().isNull());
}

TEST_F(Dialogs, TheFontListHasTheDesktopsTextFamiliesWithItsDefaultsFirst)
{
    const QStringList installed = {QStringLiteral("Nimbus Sans [urw]"), QStringLiteral("Nimbus Sans [UKWN]"),
        QStringLiteral("Dingbats"), QStringLiteral("DejaVu Serif"), QStringLiteral("DejaVu Sans"),
        QStringLiteral("Mono [x] [y]")};
    const QStringList ordered = order_font_families(installed,
        {QStringLiteral("DejaVu Sans"), QStringLiteral("Not Installed"), QStringLiteral("Nimbus Sans [urw]")},
        [](const QString& f) { return f == QStringLiteral("Dingbats"); });
    EXPECT_EQ(ordered, (QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Sans"),
                           QStringLiteral("DejaVu Serif"), QStringLiteral("Mono [x]")}));

    // The real list: no foundry names, no symbol or private fonts, the defaults at the front.
    const QStringList real = system_font_families();
    ASSERT_FALSE(real.isEmpty());
    for (const QString& family : real)
        EXPECT_FALSE(family.endsWith(QLatin1Char(']')) || QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol)
            || QFontDatabase::isPrivateFamily(family) || real.count(family) != 1) << family.toStdString();
    int position = 0;
    for (const QString& face : desktop_default_families())
        if (real.contains(face)) {
            EXPECT_LE(real.indexOf(face), position) << face.toStdString();
            position = std::max<int>(position, real.indexOf(face) + 1);
        }
}

