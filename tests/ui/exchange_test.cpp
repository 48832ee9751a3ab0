// File > "Import..." and "Export..." driven by mouse and keys on the real window.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableWidget>

#include "exchange/export.h"
#include "session/lifecycle.h"
#include "ui_fixture.h"

namespace {

class Exchange : public ui_test {
protected:
    template <typename T>
    static T* child(QWidget* dialog, const char* name)
    {
        T* found = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    temp_dir files;
};

TEST_F(Exchange, ImportShowsThePreviewTakesTheMappingAndReportsWhatItDid)
{
    add_pending("Hund", "dog");
    add_pending("Maus", "mouse");
    const std::string path = files.file("words.csv");
    write_file(path, "Deck;Front;Back\nTiere;Hund;dog\nTiere::Haus;Katze;cat\nTiere;;no question\nTiere;Maus;mouse\n");
    bool checked = false;
    on_next_modal([&](QWidget* dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "import_path"), QString::fromStdString(path));
        auto* table = child<QTableWidget>(dialog, "preview_table");
        // The first row names the columns: recognised, and the mapping follows the names.
        ASSERT_TRUE(child<QCheckBox>(dialog, "header_check")->isChecked());
        ASSERT_EQ(table->rowCount(), 4);
        ASSERT_EQ(table->columnCount(), 3);
        EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("Katze"));
        auto* question = child<QComboBox>(dialog, "question_column");
        auto* category = child<QComboBox>(dialog, "category_column");
        EXPECT_EQ(question->currentIndex(), 1);
        EXPECT_EQ(category->currentIndex(), 1);
        // The user moves the category to "None" by keys.
        category->setFocus();
        QTest::keyClick(category, Qt::Key_Up);
        EXPECT_EQ(category->currentIndex(), 0);
        QTest::mouseClick(child<QPushButton>(dialog, "import_button"), Qt::LeftButton);
        EXPECT_EQ(child<QProgressBar>(dialog, "import_progress")->value(), 100);
        checked = true;
    });
    click_file_menu_entry(w, "import_action");
    ASSERT_TRUE(checked);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Import"));
    EXPECT_EQ(recorded_messages()[0].text,
        QStringLiteral("Added: 1\nDuplicates skipped: 2\nMedia copied: 0\nProblems: 1\nline 4: no question; left out"));
    ASSERT_EQ(pending_count(), 3u);
    EXPECT_EQ(db().pending_head->next->next->question, "Katze");
    EXPECT_EQ(db().pending_head->next->next->ctgr, 0);
    EXPECT_TRUE(question_shown().startsWith(QStringLiteral("Imported 1 items.")));
    // The keyboard is the window's again: Return acts at once.
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(w));
    EXPECT_EQ(QApplication::focusWidget(), w->client_area);
}

TEST_F(Exchange, AFileThatCannotBeReadIsRefusedAndTheDialogStays)
{
    const std::string path = files.file("broken.txt");
    write_file(path, "q\ta\n\"never closed\tx\n");
    bool checked = false;
    on_next_modal([&](QWidget* dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "import_path"), QString::fromStdString(path));
        // The preview already says what is wrong and offers no import.
        EXPECT_FALSE(child<QPushButton>(dialog, "import_button")->isEnabled());
        EXPECT_EQ(child<QLabel>(dialog, "import_status")->text(),
            QStringLiteral("line 2: a quoted field is not closed before the end of the file"));
        QTest::keyClick(dialog, Qt::Key_Escape);
        checked = true;
    });
    click_file_menu_entry(w, "import_action");
    ASSERT_TRUE(checked);
    EXPECT_EQ(pending_count(), 0u);
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(Exchange, ExportWritesTheChosenFormAndAFailureReachesTheUser)
{
    add_item("frage", "antwort", 0, 3);
    const std::string path = files.file("out.xml");
    on_next_modal([&](QWidget* dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "export_path"), QString::fromStdString(path));
        auto* format = child<QComboBox>(dialog, "format_combo");
        format->setFocus();
        QTest::keyClick(format, Qt::Key_Down);
        QTest::mouseClick(child<QPushButton>(dialog, "export_button"), Qt::LeftButton);
    });
    click_file_menu_entry(w, "export_action");
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].text, QStringLiteral("1 items written to %1.").arg(QString::fromStdString(path)));
    EXPECT_NE(read_file(path).find("<q>frage</q>"), std::string::npos);

    // A folder that does not exist: the user is told, and the dialog stays for another try.
    bool stayed = false;
    on_next_modal([&](QWidget* dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "export_path"), QString::fromStdString(files.file("none/out.txt")));
        QTest::mouseClick(child<QPushButton>(dialog, "export_button"), Qt::LeftButton);
        stayed = dialog->isVisible();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    click_file_menu_entry(w, "export_action");
    EXPECT_TRUE(stayed);
    ASSERT_EQ(recorded_messages().size(), 2u);
    EXPECT_EQ(recorded_messages()[1].title, QStringLiteral("Export Failed"));
    EXPECT_TRUE(recorded_messages()[1].text.startsWith(QStringLiteral("The file was not written: cannot write")));
}

}  // namespace
