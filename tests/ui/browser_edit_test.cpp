#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include "database/database.h"
#include "session/browse.h"
#include "settings/category_dialog.h"
#include "ui/window_state.h"
#include "browser_fixture.h"

namespace {

class BrowserEdits : public Browser {
protected:
    static void press(browser_window* b, const char* name)
    {
        auto* button = b->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Opens the editor of a text cell with F2, as a user would.
    static QPlainTextEdit* edit_cell(QTableView* view, int row, int column)
    {
        view->setFocus();
        view->setCurrentIndex(view->model()->index(row, column));
        QTest::keyClick(view, Qt::Key_F2);
        QPlainTextEdit* editor = focused<QPlainTextEdit>();
        EXPECT_TRUE(editor && view->isAncestorOf(editor));
        return editor;
    }
};

TEST_F(BrowserEdits, TextsOfSeveralLinesAreEditedWithTheirMarkup)
{
    item* e = add_item("Zeile eins\n<b>zwei</b><img>p.png</img>", "a", 0, 2);
    pending_item* p = add_pending("queued", "one\ntwo");
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        EXPECT_EQ(cell(view, 0, column_question), QStringLiteral("Zeile eins zwei <img>"));
        QPlainTextEdit* editor = edit_cell(view, 0, column_question);
        ASSERT_TRUE(editor);
        // The editor holds the text as stored, every tag and line break in it.
        EXPECT_EQ(editor->toPlainText(), QStringLiteral("Zeile eins\n<b>zwei</b><img>p.png</img>"));
        // Return breaks the line and leaves the editor open; Ctrl+Return stores.
        QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Return);
        type(editor, QStringLiteral("drei"));
        EXPECT_EQ(QApplication::focusWidget(), editor);
        EXPECT_EQ(e->question, "Zeile eins\n<b>zwei</b><img>p.png</img>");
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();
        EXPECT_EQ(e->question, "Zeile eins\n<b>zwei</b><img>p.png</img>\ndrei");
        EXPECT_EQ(cell(view, 0, column_question), QStringLiteral("Zeile eins zwei drei <img>"));
        EXPECT_FALSE(view->isAncestorOf(QApplication::focusWidget()) && qobject_cast<QPlainTextEdit*>(QApplication::focusWidget()));

        // Escape drops what was typed; the browser stays open.
        editor = edit_cell(view, 0, column_answer);
        ASSERT_TRUE(editor);
        type(editor, QStringLiteral("zzz"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_EQ(e->answer, "a");
        EXPECT_TRUE(b->isVisible());

        // A queued item's answer of two lines, edited the same way.
        b->tabs()->setCurrentIndex(1);
        QTableView* pending = b->view(browse_kind::pending);
        editor = edit_cell(pending, 0, column_answer);
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->toPlainText(), QStringLiteral("one\ntwo"));
        QTest::keyClick(editor, Qt::Key_Home, Qt::ControlModifier);
        type(editor, QStringLiteral("<i>"));
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();
        EXPECT_EQ(p->answer, "<i>one\ntwo");
        EXPECT_TRUE(b->outcome().changed);
        EXPECT_TRUE(recorded_messages().empty());
    });
    EXPECT_EQ(db().item_count, 1u);
    EXPECT_EQ(db().head, e);
}

TEST_F(BrowserEdits, CategoriesAreMadeRenamedAndDeletedFromTheCategoryTree)
{
    const uint16_t deutsch = add_category("Deutsch", -1);
    const uint16_t verben = add_category("Verben", deutsch);
    add_category("Leer", -1);
    const uint16_t french = add_category("French", -1);
    item* gehen = add_item("gehen", "to go", verben, 1);
    item* etre = add_item("être", "to be", french, 2);
    // The scheduled reviews remember French; new items go into French.
    ui().settings_record->acs1 = std::vector<uint8_t>{static_cast<uint8_t>(1u << french)};
    ui().settings_record->acs3 = french;
    ui().new_item_category = french;
    QString label;
    QString offered;
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        // "All categories" is nothing to rename or delete.
        auto* rename = b->findChild<QPushButton*>(QStringLiteral("browser_rename_category"));
        auto* remove = b->findChild<QPushButton*>(QStringLiteral("browser_delete_category"));
        EXPECT_FALSE(rename->isEnabled());
        EXPECT_FALSE(remove->isEnabled());
        // A new category under the one chosen, which it becomes.
        choose_category(b, QStringLiteral("Deutsch"));
        EXPECT_TRUE(rename->isEnabled());
        EXPECT_TRUE(remove->isEnabled());
        const QString nomen = QStringLiteral("Nomen");
        answer_input(&nomen, &label);
        press(b, "browser_new_category");
        EXPECT_EQ(label, QStringLiteral("Name of the new category under \"Deutsch\":"));
        EXPECT_TRUE(chosen_label(b).startsWith(QStringLiteral("Nomen (i:0,"))) << chosen_label(b).toStdString();
        EXPECT_TRUE(tree_paths(b).contains(QStringLiteral("Deutsch / Nomen")));
        choose_category(b, QStringLiteral("Deutsch"));
        // A name the parent has already is refused, and nothing is made.
        const uint16_t count = category_count();
        const QString taken = QStringLiteral("Verben");
        answer_input(&taken);
        press(b, "browser_new_category");
        ASSERT_EQ(recorded_messages().size(), 1u);
        EXPECT_EQ(recorded_messages()[0].text, QStringLiteral("\"Deutsch\" already has a category named \"Verben\"."));
        EXPECT_EQ(category_count(), count);

        // F2 on the tree renames its category, offering the name it has.
        choose_category(b, QStringLiteral("Deutsch / Verben"));
        b->category_tree()->setFocus();
        const QString zeit = QStringLiteral("Zeitwörter");
        answer_input(&zeit, &label, &offered);
        QTest::keyClick(b->category_tree(), Qt::Key_F2);
        EXPECT_EQ(offered, QStringLiteral("Verben"));
        EXPECT_EQ(category_at(verben)->name, "Zeitwörter");
        EXPECT_TRUE(chosen_label(b).startsWith(QStringLiteral("Zeitwörter (i:1,"))) << chosen_label(b).toStdString();
        EXPECT_EQ(cell(view, 0, column_category), QStringLiteral("Deutsch / Zeitwörter"));
        // Too long a name is refused with its length; cancelling changes nothing.
        const QString longer(128, QLatin1Char('x'));
        answer_input(&longer);
        press(b, "browser_rename_category");
        ASSERT_EQ(recorded_messages().size(), 2u);
        EXPECT_EQ(recorded_messages()[1].text, QStringLiteral("A category name may be at most 127 bytes; \"%1\" has 128.").arg(longer));
        answer_input(nullptr);
        press(b, "browser_rename_category");
        EXPECT_EQ(category_at(verben)->name, "Zeitwörter");
        EXPECT_EQ(recorded_messages().size(), 2u);

        // A category with an item below it is not deleted, nor is the first one.
        choose_category(b, QStringLiteral("Deutsch"));
        press(b, "browser_delete_category");
        ASSERT_EQ(recorded_messages().size(), 3u);
        EXPECT_EQ(recorded_messages()[2].text,
            QStringLiteral("\"Deutsch\" cannot be deleted while it holds items: 1 item is in it or in its "
                           "subcategories. Move or delete them first."));
        choose_category(b, QStringLiteral("root"));
        press(b, "browser_delete_category");
        ASSERT_EQ(recorded_messages().size(), 4u);
        EXPECT_NE(recorded_messages()[3].text.indexOf(QStringLiteral("first category")), -1);

        // Delete on the tree deletes an empty one, once confirmed (the box's default is No).
        choose_category(b, QStringLiteral("Leer"));
        b->category_tree()->setFocus();
        QTest::keyClick(b->category_tree(), Qt::Key_Delete);
        ASSERT_EQ(recorded_messages().size(), 5u);
        EXPECT_EQ(recorded_messages()[4].text, QStringLiteral("Delete the category \"Leer\"?"));
        EXPECT_EQ(recorded_messages()[4].buttons, message_buttons::yes_no);
        EXPECT_TRUE(tree_paths(b).contains(QStringLiteral("Leer")));
        message_answers().push_back(message_answer::yes);
        QTest::keyClick(b->category_tree(), Qt::Key_Delete);
        EXPECT_FALSE(tree_paths(b).contains(QStringLiteral("Leer")));
        EXPECT_EQ(chosen_label(b), QStringLiteral("All categories"));
        EXPECT_EQ(b->model(browse_kind::scheduled)->rowCount(), 2);
        // The tree keeps each category under its parent, in the table's order.
        EXPECT_EQ(tree_paths(b), (QStringList{QStringLiteral("root"), QStringLiteral("Deutsch"),
                                    QStringLiteral("Deutsch / Zeitwörter"), QStringLiteral("Deutsch / Nomen"),
                                    QStringLiteral("French")}));
        QTreeWidgetItem* deutsch_item = category_item(b, QStringLiteral("Deutsch"));
        ASSERT_NE(deutsch_item, nullptr);
        EXPECT_EQ(deutsch_item->childCount(), 2);
        EXPECT_TRUE(b->outcome().changed);
    });
    // French moved down into Leer's place, and everything that named it follows.
    const uint16_t french_now = static_cast<uint16_t>(french - 1);
    ASSERT_EQ(category_at(french_now)->name, "French");
    EXPECT_EQ(etre->ctgr, french_now);
    EXPECT_EQ(gehen->ctgr, verben);
    EXPECT_EQ(ui().new_item_category, french_now);
    EXPECT_EQ(ui().settings_record->acs3, french_now);
    const std::vector<uint8_t> ticked = selection_from_settings(&ui().settings_record->acs1);
    for (uint16_t c = 0; c < category_count(); ++c)
        EXPECT_EQ(ticked[c], c == french_now ? 1 : 0) << c;
    EXPECT_EQ(category_path(static_cast<uint16_t>(category_count() - 1)), "Deutsch / Nomen");
}

}  // namespace
