// The overview beside the main screen: the first start's page, the category tree with its
// counts, menu and edits, and the window's division between sessions.

#include "ui/overview_panel.h"
#include "ui/screens.h"
#include "ui_fixture.h"

namespace {

class Overview : public ui_test {
protected:
    QTreeWidget* tree() const { return w->overview->tree(); }
    QTreeWidgetItem* row(const QString& name) const { return tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0); }
    QString figures(const QString& name) const
    {
        const QTreeWidgetItem* r = row(name);
        return r ? r->text(1) + " " + r->text(2) + " " + r->text(3) : QString();
    }
    void leave_add_screen()
    {
        QTRY_COMPARE(ui().pass.mode(), screen_mode::add);
        activate();
        press(Qt::Key_Escape);
    }
    void menu_entry(Qt::Key mnemonic)
    {
        on_next_popup([mnemonic](QMenu* menu) { QTest::keyClick(menu, mnemonic); });
        tree()->setFocus();
        press(Qt::Key_Menu);
    }
};

}  // namespace

TEST_F(Overview, AnEmptyCollectionExplainsWhereTheDataIsAndItsWaysToBeginWorkAndTheWindowKeepsItsDivision)
{
    QStackedWidget* pages = w->overview->pages();
    ASSERT_EQ(pages->currentWidget()->objectName(), QStringLiteral("welcome_page"));
    const QString text = child<QLabel>(pages->currentWidget(), "welcome_text")->text();
    QString dir = default_dir();
    dir.chop(1);
    EXPECT_TRUE(text.contains(dir.toHtmlEscaped())) << text.toStdString();
    for (const char* way : {"Add new items", "File &gt; Import...", "queue.txt"})
        EXPECT_TRUE(text.contains(QLatin1String(way))) << way;
    const QString status = QStringLiteral("Data: %1   Due today: 0   Queued: 0").arg(dir);
    EXPECT_EQ(w->status_line->text(), status);
    tab_to(QStringLiteral("welcome_open_folder"));
    press(Qt::Key_Space);
    EXPECT_EQ(media_log(), std::vector<std::string>{"folder " + dir.toStdString()});
    QString opened;
    on_next_modal([&opened](QWidget* dialog) {
        opened = dialog->objectName();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(child<QPushButton>(w->overview, "welcome_import"), Qt::LeftButton);
    QTRY_COMPARE(opened, QStringLiteral("import_dialog"));
    // Add, by keys on the page and by Help > Getting Started.
    activate();
    tab_to(QStringLiteral("welcome_add"));
    EXPECT_EQ(QApplication::focusWidget()->accessibleName(), QStringLiteral("Add New Items"));
    on_next_modal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
    press(Qt::Key_Space);
    leave_add_screen();
    on_next_modal([](QWidget* dialog) {
        EXPECT_EQ(dialog->objectName(), QStringLiteral("welcome_dialog"));
        on_next_modal([](QWidget* categories) { QTest::keyClick(categories, Qt::Key_Return); });
        QTest::mouseClick(child<QPushButton>(dialog, "welcome_add"), Qt::LeftButton);
    });
    activate();
    press(Qt::Key_H, Qt::AltModifier);  // Help > Getting Started by its mnemonics
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_G);
    leave_add_screen();
    add_item("Hund", "dog", 0, 3);
    show_main_screen();
    EXPECT_TRUE(pages->currentWidget() == tree() && w->status_line->text() == status);
    db().read_only = true;
    show_main_screen();
    EXPECT_TRUE(w->status_line->text().endsWith(QStringLiteral("read-only")));
    db().read_only = false;
    add_item("Katze", "cat", 0, 3);
    add_test_pending(0, "Maus", "mouse");
    QString help_text;
    on_next_modal([&help_text](QWidget* dialog) {
        help_text = child<QLabel>(dialog, "welcome_text")->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    activate();
    press(Qt::Key_H, Qt::AltModifier);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_G);
    EXPECT_TRUE(help_text.contains(QStringLiteral("<p>Your collection holds 2 items and 1 more in the queue. It is kept in")))
        << help_text.toStdString();

    show_main_screen();
    w->resize(900, 600);
    w->splitter->setSizes({250, 600});
    QApplication::processEvents();
    const QList<int> sizes = w->splitter->sizes();
    const QSize size = w->size();
    w->closing_sequence();
    delete w;
    w = new main_window;
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_TRUE(w->size() == size && w->splitter->sizes() == sizes);
}

TEST_F(Overview, TheTreeCountsEachCategoryItsKeysReviewThereAndItsMenuMakesRenamesAndDeletesCategories)
{
    const uint16_t languages = add_category("Languages", -1);
    const uint16_t verbs = add_category("Verbs", languages);
    add_item("aller", "to go", verbs);
    add_item("venir", "to come", verbs, -2);
    add_item("Haus", "house", languages, 5);
    add_item("2+2", "4", add_category("Maths", -1), 3);
    add_test_pending(verbs, "faire", "to do");
    show_main_screen();
    EXPECT_EQ(tree()->headerItem()->text(2), QStringLiteral("Due today"));
    EXPECT_EQ(figures(QStringLiteral("Languages")), QStringLiteral("3 2 1"));
    EXPECT_EQ(row(QStringLiteral("Verbs"))->parent(), row(QStringLiteral("Languages")));
    // An arrow key goes from the window into the tree; Return on Maths, with nothing due, says
    // so; on Verbs it reviews Verbs alone.
    tree()->setCurrentItem(row(QStringLiteral("Languages")));
    client()->setFocus();
    press(Qt::Key_Down);
    ASSERT_TRUE(QApplication::focusWidget() == tree() && tree()->currentItem() != row(QStringLiteral("Languages")));
    for (int i = 0; i < 5 && tree()->currentItem() != row(QStringLiteral("Maths")); ++i)
        press(Qt::Key_Down);
    ASSERT_EQ(tree()->currentItem(), row(QStringLiteral("Maths")));
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_End, Qt::Key_PageDown})  // the last row: nothing to go to
        press(k);
    EXPECT_EQ(tree()->currentItem(), row(QStringLiteral("Maths")));
    press(Qt::Key_Return);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_TRUE(w->statusBar()->currentMessage().contains(QStringLiteral("Maths")));
    tree()->setCurrentItem(row(QStringLiteral("Verbs")));
    press(Qt::Key_Return);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_TRUE(w->overview->isHidden());
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(question_shown() == QStringLiteral("aller") || question_shown() == QStringLiteral("venir"));
        press(Qt::Key_Return);
        press(Qt::Key_4);
    }
    ASSERT_TRUE(ui().pass.mode() == screen_mode::main && !w->overview->isHidden());
    EXPECT_EQ(figures(QStringLiteral("Languages")), QStringLiteral("3 0 1"));
    EXPECT_EQ(tree()->currentItem(), row(QStringLiteral("Verbs")));
    on_next_popup([](QMenu* menu) {
        QStringList names;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                names << a->objectName() + (a->isEnabled() ? "" : "(grey)");
        EXPECT_EQ(names, (QStringList{"overview_reviews(grey)", "overview_queue", "overview_forced", "overview_browse",
                             "overview_new_category", "overview_rename_category", "overview_delete_category"}));
        QTest::keyClick(menu, Qt::Key_Q);
    });
    tree()->setFocus();
    press(Qt::Key_Menu);
    QTRY_VERIFY(ui().pass.mode() == screen_mode::queue && question_shown() == QStringLiteral("faire"));
    activate();  // the menu gone
    press(Qt::Key_Escape);

    tree()->setFocus();
    tree()->setCurrentItem(row(QStringLiteral("Languages")));
    answer_next_input(QStringLiteral("Nouns"));
    menu_entry(Qt::Key_N);
    QTRY_VERIFY(row(QStringLiteral("Nouns")) != nullptr);
    EXPECT_TRUE(row(QStringLiteral("Nouns"))->parent() == row(QStringLiteral("Languages")) && tree()->currentItem() == row(QStringLiteral("Nouns")));
    QTRY_COMPARE(QApplication::focusWidget(), tree());
    // F2 renames; a name its parent has already is refused.
    answer_next_input(QStringLiteral("Verbs"));
    press(Qt::Key_F2);
    QTRY_VERIFY(told(1, 0, {}, QStringLiteral("already has")));
    QTRY_COMPARE(QApplication::focusWidget(), tree());
    answer_next_input(QStringLiteral("Names"));
    press(Qt::Key_F2);
    QTRY_VERIFY(row(QStringLiteral("Names")) != nullptr && row(QStringLiteral("Nouns")) == nullptr);
    QTRY_COMPARE(QApplication::focusWidget(), tree());
    // Del refuses a category that holds items; an empty one goes once asked, the cursor to its parent.
    tree()->setCurrentItem(row(QStringLiteral("Verbs")));
    press(Qt::Key_Delete);
    ASSERT_TRUE(told(2, 1, {}, QStringLiteral("holds items")));
    tree()->setCurrentItem(row(QStringLiteral("Names")));
    message_answers().push_back(message_answer::yes);
    menu_entry(Qt::Key_D);
    QTRY_COMPARE(row(QStringLiteral("Names")), nullptr);
    EXPECT_TRUE(recorded_messages().back().buttons == message_buttons::yes_no && tree()->currentItem() == row(QStringLiteral("Languages")));
}
