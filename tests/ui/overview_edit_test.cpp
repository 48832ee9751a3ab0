// The overview's category edits: the browser's new, rename and delete from the tree's menu and
// keys, with the tree following each change.
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

#include "ui/overview_panel.h"
#include "ui/screens.h"
#include "ui_fixture.h"

namespace {

class OverviewEdit : public ui_test {
protected:
    QTreeWidget* tree() const { return w->overview->tree(); }
    QTreeWidgetItem* row(const QString& name) const
    {
        return tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    // The next name dialog gets `text` typed over its offer and Return.
    static void answer_name(const QString& text)
    {
        on_next_modal([text](QWidget* dialog) {
            auto* line = dialog->findChild<QLineEdit*>();
            ASSERT_NE(line, nullptr);
            QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(line, text);
            QTest::keyClick(line, Qt::Key_Return);
        });
    }
    // The tree's menu by the menu key, then the entry of that mnemonic.
    void menu_entry(Qt::Key mnemonic)
    {
        auto* poll = new QTimer(w);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, mnemonic] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                poll->deleteLater();
                poll->stop();
                QTest::keyClick(menu, mnemonic);
            }
        });
        poll->start();
        tree()->setFocus();
        press(Qt::Key_Menu);
    }
};

TEST_F(OverviewEdit, TheMenuAndKeysMakeRenameAndDeleteCategoriesAndTheTreeFollows)
{
    const uint16_t languages = add_category("Languages", -1);
    add_item("aller", "to go", add_category("Verbs", languages));
    show_main_screen();
    tree()->setFocus();
    tree()->setCurrentItem(row(QStringLiteral("Languages")));

    // New, under the chosen category, by the menu's mnemonic; the new row is chosen.
    answer_name(QStringLiteral("Nouns"));
    menu_entry(Qt::Key_N);
    QTRY_VERIFY(row(QStringLiteral("Nouns")) != nullptr);
    EXPECT_EQ(row(QStringLiteral("Nouns"))->parent(), row(QStringLiteral("Languages")));
    EXPECT_EQ(tree()->currentItem(), row(QStringLiteral("Nouns")));
    QTRY_COMPARE(QApplication::focusWidget(), tree());

    // F2 renames it; a name its parent already has is refused with the reason.
    answer_name(QStringLiteral("Verbs"));
    press(Qt::Key_F2);
    QTRY_COMPARE(recorded_messages().size(), size_t{1});
    QTRY_COMPARE(QApplication::focusWidget(), tree());
    EXPECT_TRUE(recorded_messages().back().text.contains(QStringLiteral("already has"))) << recorded_messages().back().text.toStdString();
    answer_name(QStringLiteral("Names"));
    press(Qt::Key_F2);
    QTRY_VERIFY(row(QStringLiteral("Names")) != nullptr);
    EXPECT_EQ(row(QStringLiteral("Nouns")), nullptr);
    EXPECT_EQ(tree()->currentItem(), row(QStringLiteral("Names")));
    QTRY_COMPARE(QApplication::focusWidget(), tree());

    // Del on a category that holds items says why it stays; on the empty one it asks, deletes,
    // and leaves the cursor on the parent.
    tree()->setCurrentItem(row(QStringLiteral("Verbs")));
    press(Qt::Key_Delete);
    ASSERT_EQ(recorded_messages().size(), size_t{2});
    EXPECT_TRUE(recorded_messages().back().text.contains(QStringLiteral("holds items")));
    EXPECT_NE(row(QStringLiteral("Verbs")), nullptr);
    tree()->setCurrentItem(row(QStringLiteral("Names")));
    message_answers().push_back(message_answer::yes);
    menu_entry(Qt::Key_D);
    QTRY_COMPARE(row(QStringLiteral("Names")), nullptr);
    EXPECT_EQ(recorded_messages().back().buttons, message_buttons::yes_no);
    EXPECT_EQ(tree()->currentItem(), row(QStringLiteral("Languages")));
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
}

}  // namespace
