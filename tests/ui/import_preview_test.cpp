// The import dialog's preview of what a file holds: a package's decks with their notes, a text
// file's header row and its category column, reached and used by keys alone.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include "exchange/package_builder.h"
#include "ui_fixture.h"

namespace {

class ImportPreview : public ui_test {
protected:
    // Opens File > Import by its key, types `path` and hands the dialog to `check`, then Escape.
    void preview(const std::string& path, std::function<void(QWidget*)> check)
    {
        bool seen = false;
        on_next_modal([&](QWidget* dialog) {
            // A failed check leaves the inner function only: the dialog still goes.
            [&] {
                auto* line = dialog->findChild<QLineEdit*>(QStringLiteral("import_path"));
                // Offscreen, the dialog may be made active a moment after it opens.
                ASSERT_TRUE(QTest::qWaitFor([line] { return QApplication::focusWidget() == line; }));
                QTest::keyClicks(line, QString::fromStdString(path));
                check(dialog);
            }();
            seen = true;
            static_cast<QDialog*>(dialog)->reject();
        });
        press(Qt::Key_I, Qt::ControlModifier);
        EXPECT_TRUE(seen);
    }
    static QStringList column(const QTableWidget* table, int c)
    {
        QStringList texts;
        for (int r = 0; r < table->rowCount(); ++r)
            texts << (table->item(r, c) ? table->item(r, c)->text() : QString());
        return texts;
    }
    temp_dir files;
};

TEST_F(ImportPreview, APackageShowsItsDecksAndTheirNotes)
{
    test_package p;
    p.decks = {{1, "Default"}, {20, "Sprachen::Deutsch"}, {21, "Sprachen"}};
    p.notes = {{101, "Hund\x1f" "dog", 20}, {102, "Katze\x1f" "cat", 20}, {103, "Maus\x1f" "mouse", 21}};
    preview(p.build(files.path()), [](QWidget* dialog) {
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("preview_table"));
        ASSERT_EQ(table->columnCount(), 2);
        EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Deck"));
        EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Notes"));
        EXPECT_EQ(column(table, 0), (QStringList{"Sprachen", "Sprachen::Deutsch"}));
        EXPECT_EQ(column(table, 1), (QStringList{"1", "2"}));
        EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("import_status"))->text().startsWith(
            QStringLiteral("A package of 3 notes in 2 decks")));
    });
    EXPECT_EQ(pending_count(), 0u);
}

TEST_F(ImportPreview, ATextFilesHeaderRowIsRecognisedAndItsCategoryColumnProposed)
{
    const std::string path = files.file("words.txt");
    write_file(path, "Frage;Antwort;Kategorie\nHund;dog;Tiere\nKatze;cat;Tiere\n");
    preview(path, [](QWidget* dialog) {
        auto* header = dialog->findChild<QCheckBox*>(QStringLiteral("header_check"));
        auto* category = dialog->findChild<QComboBox*>(QStringLiteral("category_column"));
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("preview_table"));
        EXPECT_TRUE(header->isChecked());
        EXPECT_EQ(category->currentText(), QStringLiteral("Column 3: Kategorie"));
        EXPECT_EQ(column(table, 0), (QStringList{"Hund", "Katze"}));
        // Unticked from the keyboard, the first row is an item again and the user's choice stays.
        for (int i = 0; i < 10 && QApplication::focusWidget() != header; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), header);
        QTest::keyClick(header, Qt::Key_Space);
        EXPECT_FALSE(header->isChecked());
        EXPECT_EQ(column(table, 0), (QStringList{"Frage", "Hund", "Katze"}));
    });
}

}  // namespace
