// File > Import... and Export... by mouse and keys: the preview, the mapping, the name, the reports.

#include "tools/package_builder.h"
#include "ui_fixture.h"

namespace {

class Exchange : public ui_test {
protected:
    void export_to(const std::string& path, const std::function<void(QWidget*)>& after = [](QWidget*) {})
    {
        in_dialog("export_action", "export_path", path, [&](QWidget* dialog) {
            QTest::keyClick(child<QLineEdit>(dialog, "export_path"), Qt::Key_Return);
            after(dialog);
        });
    }
    temp_dir files;
};

TEST_F(Exchange, ImportShowsThePreviewOfAFileOrAPackageTakesTheMappingAndReportsWhatItDid)
{
    add_test_pending(0, "Hund", "dog");
    add_test_pending(0, "M\xC3\xA4use", "mice");
    const std::string path = files.file("words.csv");
    write_file(path, "Deck;Front;Back\nTiere;Hund;dog\n\nTiere::Haus;Katze;cat\nTiere;;no question\nTiere;M\xE4use;mice\n");
    in_dialog("import_action", "import_path", path, [](QWidget* dialog) {
        auto* table = child<QTableWidget>(dialog, "preview_table");
        auto* header = child<QCheckBox>(dialog, "header_check");
        auto* category = child<QComboBox>(dialog, "category_column");
        ASSERT_TRUE(header->isChecked());  // the first row names the columns
        // An older Windows program's one-byte "ä".
        EXPECT_EQ(column_texts(table, 1), (QStringList{"Hund", "Katze", "", QStringLiteral("M\u00e4use")}));
        EXPECT_TRUE(child<QLabel>(dialog, "import_status")->text().contains(QStringLiteral("Windows-1252")));
        // Numbered by line, as the report names them.
        EXPECT_EQ(table->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("5"));
        EXPECT_TRUE(child<QComboBox>(dialog, "question_column")->currentIndex() == 1 && category->currentText() == "Column 1: Deck");
        press(Qt::Key_Q, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), child<QComboBox>(dialog, "question_column"));
        press(Qt::Key_F, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(dialog, "import_path"));
        tab_to(QStringLiteral("header_check"));
        QTest::keyClick(header, Qt::Key_Space);
        EXPECT_EQ(column_texts(table, 1).value(0), QStringLiteral("Front"));
        QTest::keyClick(header, Qt::Key_Space);
        category->setFocus();
        QTest::keyClick(category, Qt::Key_Up);
        EXPECT_EQ(category->currentIndex(), 0);
        QTest::mouseClick(child<QPushButton>(dialog, "import_button"), Qt::LeftButton);
        EXPECT_EQ(child<QProgressBar>(dialog, "import_progress")->value(), 100);
    });
    ASSERT_TRUE(told(1, 0, QStringLiteral("Import"),
        QStringLiteral("Added: 1\nDuplicates skipped: 2\nMedia copied: 0\nProblems: 1\nline 5: no question; left out")));
    ASSERT_EQ(pending_count(), 3u);
    EXPECT_TRUE(db().pending_head->next->next->question == "Katze" && db().pending_head->next->next->ctgr == 0);
    EXPECT_TRUE(question_shown().startsWith(QStringLiteral("Imported 1 items.")));
    QTRY_VERIFY(QApplication::activeWindow() == w && QApplication::focusWidget() == w->client_area);

    deck_package p;
    p.decks = {{1, "Default"}, {20, "Sprachen::Deutsch"}, {21, "Sprachen"}};
    p.notes = {{101, "Hund\x1f" "dog", 20}, {102, "Katze\x1f" "cat", 20}, {103, "Maus\x1f" "mouse", 21}};
    in_dialog("import_action", "import_path", p.build(files.path()), [](QWidget* dialog) {
        auto* table = child<QTableWidget>(dialog, "preview_table");
        EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Notes"));
        EXPECT_EQ(column_texts(table, 0) + column_texts(table, 1), (QStringList{"Sprachen", "Sprachen::Deutsch", "1", "2"}));
        EXPECT_TRUE(child<QLabel>(dialog, "import_status")->text().startsWith(QStringLiteral("A package of 3 notes in 2 decks")));
    });
    EXPECT_TRUE(pending_count() == 3u && recorded_messages().size() == 1u);
}

TEST_F(Exchange, ExportProposesANameKeepsItsFormInStepAsksBeforeWritingOverAFileAndPutsABareNameBesideTheOffer)
{
    add_item("frage", "antwort", 0, 3);
    const QString typed = QString::fromStdString(files.file("cards.xml"));
    in_dialog("export_action", "export_path", "", [&](QWidget* dialog) {
        auto* path = child<QLineEdit>(dialog, "export_path");
        auto* format = child<QComboBox>(dialog, "format_combo");
        EXPECT_TRUE(path->text().endsWith(QStringLiteral("/cardwrightdb-%1.txt").arg(QDate::currentDate().toString(Qt::ISODate))))
            << path->text().toStdString();
        EXPECT_EQ(path->selectedText(), path->text());  // typing replaces the offer
        // ".xml" chooses the XML form; the text form chosen by keys gives the name its extension.
        QTest::keyClicks(path, typed);
        EXPECT_EQ(format->currentIndex(), 1);
        QTest::keyClick(path, Qt::Key_O, Qt::AltModifier);  // the format's Alt key
        EXPECT_EQ(QApplication::focusWidget(), format);
        QTest::keyClick(format, Qt::Key_Up);
        EXPECT_EQ(path->text(), QString::fromStdString(files.file("cards.txt")));
        QTest::keyClick(format, Qt::Key_Down);
        EXPECT_EQ(path->text(), typed);
        QTest::keyClick(format, Qt::Key_Return);
    });
    ASSERT_TRUE(told(1, 0, {}, QStringLiteral("1 items written to %1.").arg(typed)));
    EXPECT_NE(read_file(typed.toStdString()).find("<q>frage</q>"), std::string::npos);

    add_item("vector", "array", add_category("push/pop", add_category("C++::STL", -1)), 3);
    export_to(files.file("cards.txt"));
    ASSERT_TRUE(told(2, 1, {}, QStringLiteral(" 1 categories have names a text file cannot hold as they are")));

    // A file that exists is asked about: No (the default) keeps it and the dialog. A bare name
    // goes beside the offer, "~/" into home, never into the folder the program was started from.
    recorded_messages().clear();
    const std::string kept = files.file("kept.txt");
    write_file(kept, "mine");
    export_to(kept, [](QWidget* dialog) { EXPECT_TRUE(dialog->isVisible()); });
    ASSERT_TRUE(told(1, 0, QStringLiteral("Export"), QStringLiteral("%1 already exists.").arg(QString::fromStdString(kept))));
    EXPECT_TRUE(recorded_messages()[0].buttons == message_buttons::yes_no && read_file(kept) == "mine");
    message_answers() = {message_answer::yes};
    export_to(kept, [](QWidget* dialog) { EXPECT_FALSE(dialog->isVisible()); });
    ASSERT_TRUE(told(3, 2, {}, QStringLiteral("2 items written to")));
    EXPECT_NE(read_file(kept).find("frage"), std::string::npos);
    const std::pair<const char*, QString> names[] = {
        {"cards.txt", QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/cards.txt")},
        {"~/home.txt", QDir::homePath() + QStringLiteral("/home.txt")}};
    for (size_t shown = 3; const auto& [typed, written] : names) {
        export_to(typed);
        ++shown;
        ASSERT_TRUE(told(shown, shown - 1, {}, QStringLiteral("2 items written to %1.").arg(written))) << typed;
        EXPECT_TRUE(QFileInfo(written).isFile()) << typed;
    }
}

// A folder that does not exist is told under the warning sign; the dialog stays, and must take
// the keyboard back itself: no window manager hands it back.
TEST_F(Exchange, AfterAMessageTheExportDialogHasTheKeyboardAgain)
{
    ui().message_box = nullptr;  // the real message box, closed by its own key
    bool escaped = false;
    in_dialog("export_action", "export_path", files.file("none/out.txt"), [&escaped](QWidget* dialog) {
        on_next_modal([](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            EXPECT_TRUE(message->icon() == QMessageBox::Warning && message->windowTitle() == QStringLiteral("Export Failed")
                && message->text().contains(QStringLiteral("The file was not written: cannot write"))) << message->text().toStdString();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QTest::mouseClick(child<QPushButton>(dialog, "export_button"), Qt::LeftButton);
        ASSERT_TRUE(dialog->isVisible());
        QTRY_VERIFY(QApplication::activeWindow() == dialog && QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        escaped = !dialog->isVisible();
    });
    EXPECT_TRUE(escaped);
}

}  // namespace
