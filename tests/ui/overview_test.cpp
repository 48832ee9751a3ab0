// The overview beside the main screen, the first start, the status line and the menus' keys,
// driven by real keys on the real window.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <set>

#include "database/days.h"
#include "settings/settings_store.h"
#include "ui/overview_panel.h"
#include "ui/screens.h"
#include "ui_fixture.h"

namespace {

class Overview : public ui_test {
protected:
    QTreeWidget* tree() const { return w->overview->tree(); }
    QString status_line() const { return w->status_line->text(); }
    // The row of a category, searched by its name.
    QTreeWidgetItem* row(const QString& name) const
    {
        const QList<QTreeWidgetItem*> found = tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }
    QStringList figures(const QString& name) const
    {
        QTreeWidgetItem* r = row(name);
        return r ? QStringList{r->text(1), r->text(2), r->text(3)} : QStringList{};
    }
    // Tab from the screens' area until the tree has the keyboard.
    void tab_to_tree()
    {
        for (int i = 0; i < 12 && QApplication::focusWidget() != tree(); ++i)
            press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), tree());
    }
};

TEST_F(Overview, AnEmptyCollectionExplainsWhereTheDataIsAndHowToBegin)
{
    QStackedWidget* pages = w->overview->pages();
    ASSERT_EQ(pages->currentWidget()->objectName(), QStringLiteral("welcome_page"));
    auto* text = pages->currentWidget()->findChild<QLabel*>(QStringLiteral("welcome_text"));
    QString dir = QString::fromStdString(data_dir());
    dir.chop(1);
    EXPECT_TRUE(text->text().contains(dir.toHtmlEscaped())) << text->text().toStdString();
    for (const char* way : {"Add new items", "File &gt; Import...", "queue.txt"})
        EXPECT_TRUE(text->text().contains(QLatin1String(way))) << way;
    EXPECT_EQ(status_line(), QStringLiteral("Data: %1   Due today: 0   Queued: 0").arg(dir));

    // The folder opens from the keyboard: Tab reaches the button, Space presses it.
    for (int i = 0; i < 12 && QApplication::focusWidget()->objectName() != QLatin1String("welcome_open_folder"); ++i)
        press(Qt::Key_Tab);
    press(Qt::Key_Space);
    EXPECT_EQ(media_log(), std::vector<std::string>{"folder " + dir.toStdString()});

    // Help > Getting Started by its mnemonics shows the same page, with its three ways to begin.
    on_next_modal([](QWidget* dialog) {
        EXPECT_EQ(dialog->objectName(), QStringLiteral("welcome_dialog"));
        EXPECT_NE(dialog->findChild<QPushButton*>(QStringLiteral("welcome_add")), nullptr);
        static_cast<QDialog*>(dialog)->reject();
    });
    press(Qt::Key_H, Qt::AltModifier);
    QMenu* help = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(help, nullptr);
    QTest::keyClick(help, Qt::Key_G);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr && QApplication::activePopupWidget() == nullptr);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);

    // Once something is stored, the tree takes the page's place.
    add_pending("Hund", "dog");
    show_main_screen();
    EXPECT_EQ(pages->currentWidget(), tree());
    EXPECT_EQ(status_line(), QStringLiteral("Data: %1   Due today: 0   Queued: 1").arg(dir));
    db().read_only = true;
    show_main_screen();
    EXPECT_TRUE(status_line().endsWith(QStringLiteral("read-only")));
    db().read_only = false;
}

TEST_F(Overview, TheTreeCountsEachCategoryAndReturnReviewsIt)
{
    const uint16_t languages = add_category("Languages", -1);
    const uint16_t verbs = add_category("Verbs", languages);
    const uint16_t maths = add_category("Maths", -1);
    add_item("aller", "to go", verbs);
    add_item("venir", "to come", verbs, -2);
    add_item("Haus", "house", languages, 5);
    add_item("2+2", "4", maths, 3);
    add_pending("faire", "to do", verbs);
    show_main_screen();
    EXPECT_EQ(tree()->headerItem()->text(2), QStringLiteral("Due today"));
    EXPECT_EQ(figures(QStringLiteral("Languages")), (QStringList{"3", "2", "1"}));
    EXPECT_EQ(figures(QStringLiteral("Verbs")), (QStringList{"2", "2", "1"}));
    EXPECT_EQ(figures(QStringLiteral("Maths")), (QStringList{"1", "0", "0"}));
    EXPECT_EQ(row(QStringLiteral("Verbs"))->parent(), row(QStringLiteral("Languages")));

    // Return on Maths, where nothing is due, says so and stays; on Verbs it reviews Verbs alone.
    tab_to_tree();
    tree()->setCurrentItem(tree()->topLevelItem(0));
    for (int i = 0; i < 5 && tree()->currentItem() != row(QStringLiteral("Maths")); ++i)
        press(Qt::Key_Down);
    ASSERT_EQ(tree()->currentItem(), row(QStringLiteral("Maths")));
    press(Qt::Key_Return);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_TRUE(w->statusBar()->currentMessage().contains(QStringLiteral("Maths")));
    for (int i = 0; i < 5 && tree()->currentItem() != row(QStringLiteral("Verbs")); ++i)
        press(Qt::Key_Up);
    ASSERT_EQ(tree()->currentItem(), row(QStringLiteral("Verbs")));
    press(Qt::Key_Return);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_TRUE(w->overview->isHidden());
    std::set<QString> seen;
    for (int i = 0; i < 2; ++i) {
        seen.insert(question_shown());
        press(Qt::Key_Return);
        press(Qt::Key_4);
    }
    EXPECT_EQ(seen, (std::set<QString>{"aller", "venir"}));
    ASSERT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_FALSE(w->overview->isHidden());
    EXPECT_EQ(figures(QStringLiteral("Languages")), (QStringList{"3", "0", "1"}));
    EXPECT_EQ(tree()->currentItem(), row(QStringLiteral("Verbs")));

    // The menu key opens the row's menu: the queue of Verbs, by its mnemonic.
    tree()->setFocus();
    on_next_popup([](QMenu* menu) {
        QStringList names;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                names << a->objectName() + (a->isEnabled() ? "" : "(grey)");
        EXPECT_EQ(names, (QStringList{"overview_reviews(grey)", "overview_queue", "overview_forced", "overview_browse",
                             "overview_new_category", "overview_rename_category", "overview_delete_category"}));
        QTest::keyClick(menu, Qt::Key_Q);
    });
    press(Qt::Key_Menu);
    QTRY_VERIFY(ui().pass.mode() == screen_mode::queue);
    EXPECT_EQ(question_shown(), QStringLiteral("faire"));
}

TEST_F(Overview, TheWindowKeepsItsSizeAndItsDivisionBetweenSessions)
{
    add_item("q", "a");
    show_main_screen();
    w->resize(900, 600);
    w->splitter->setSizes({250, 600});
    QApplication::processEvents();
    const QList<int> sizes = w->splitter->sizes();
    const QSize size = w->size();
    w->closing_sequence();
    delete w;
    w = nullptr;
    settings record;
    load_settings(&record);
    EXPECT_FALSE(record.main_splitter.isEmpty());

    w = new main_window;
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->size(), size);
    EXPECT_EQ(w->splitter->sizes(), sizes);
}

TEST_F(Overview, EveryMenuAndEntryHasItsOwnMnemonicAndTheKeysActFromTheKeyboard)
{
    for (QMenu* menu : w->menuBar()->findChildren<QMenu*>()) {
        std::set<QChar> taken;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            const QString text = a->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            ASSERT_GE(amp, 0) << text.toStdString();
            EXPECT_TRUE(taken.insert(text.at(amp + 1).toLower()).second) << text.toStdString();
        }
    }
    const struct {
        const char* name;
        QKeySequence key;
    } keys[] = {{"browse_action", QKeySequence(Qt::CTRL | Qt::Key_B)}, {"import_action", QKeySequence(Qt::CTRL | Qt::Key_I)},
        {"export_action", QKeySequence(Qt::CTRL | Qt::Key_E)}, {"statistics_action", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"restore_action", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)}};
    for (const auto& k : keys)
        EXPECT_EQ(w->findChild<QAction*>(QLatin1String(k.name))->shortcut(), k.key) << k.name;

    // Alt+F opens File; F10 the menu bar at File; Escape closes them again.
    QMenu* file = w->menuBar()->findChildren<QMenu*>().value(0);
    press(Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(QApplication::activePopupWidget(), file);
    QTest::keyClick(file, Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    client()->setFocus();
    press(Qt::Key_F10);
    QTRY_VERIFY(QApplication::activePopupWidget() == file);
    QTest::keyClick(file, Qt::Key_Escape);

    // Ctrl+, opens the settings.
    bool opened = false;
    on_next_modal([&](QWidget* dialog) {
        opened = true;
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    client()->setFocus();
    press(Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_TRUE(opened);
}

}  // namespace
