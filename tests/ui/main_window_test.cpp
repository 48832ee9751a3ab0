// The main window's buttons, status text, layout, box fonts and menus.

#include "session/statistics.h"
#include "ui/screens.h"
#include "ui_fixture.h"

namespace {

class MainWindow : public ui_test {
protected:
    // Shown and enabled, in the order review, add, queue, force: "+" enabled, "-" disabled, " " hidden.
    std::string main_buttons() const
    {
        std::string states;
        for (QPushButton* b : {w->review_button, w->add_button, w->queue_button, w->force_button})
            states += b->isHidden() ? ' ' : b->isEnabled() ? '+' : '-';
        return states;
    }
    // Each shown control inside the area, whole, readable and clear of the others.
    void check_fits(const char* screen)
    {
        SCOPED_TRACE(screen);
        QWidget* area = client();
        std::vector<QWidget*> shown;
        for (QWidget* c : area->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (c->isVisible())
                shown.push_back(c);
        EXPECT_GE(w->question_box->viewport()->height(), w->question_box->fontMetrics().lineSpacing());
        for (size_t i = 0; i < shown.size(); ++i) {
            const QRect r = shown[i]->geometry();
            const std::string name = shown[i]->objectName().toStdString();
            EXPECT_TRUE(area->rect().contains(r)) << name;
            if (auto* button = qobject_cast<QPushButton*>(shown[i])) {
                EXPECT_GE(r.width(), button->fontMetrics().horizontalAdvance(button->text())) << name;
            }
            for (size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_FALSE(r.intersects(shown[j]->geometry())) << name << " / " << shown[j]->objectName().toStdString();
        }
    }
};

}  // namespace

TEST_F(MainWindow, TheMainButtonsAndTheStatusTextFollowWhatTheCollectionHolds)
{
    EXPECT_TRUE(recorded_messages().empty() && QFile::exists(default_dir() + "lockfile"));  // made silently
    EXPECT_EQ(std::tuple(w->windowTitle(), main_buttons(), w->review_button->text()),
        std::tuple(QStringLiteral("Cardwright"), "-+--", QStringLiteral("Go through scheduled reviews")));
    EXPECT_TRUE(w->answer_box->isHidden() && w->ok_button->isHidden() && !grades_shown());
    EXPECT_FALSE(w->stop_action->isEnabled() || w->skip_action->isEnabled());
    EXPECT_TRUE(question_shown().startsWith(QStringLiteral("MobileCardwright PPC_1.3.9\nReviews for today: 0\n")));

    add_item("later", "a", 0, 300);
    add_test_pending(0, "queued", "b");
    show_main_screen();
    EXPECT_EQ(main_buttons(), "-+++");
    EXPECT_TRUE(question_shown().contains(QStringLiteral("Queue: 1\n")));

    // An item added to queue.txt in an editor is counted on the way back.
    QWidget editor;
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    write_file(data_dir() + "queue.txt", "<q>Tisch</q>\n<a>table</a>\n");
    activate();
    EXPECT_TRUE(question_shown().contains(QStringLiteral("Queue: 2\n")));
    EXPECT_TRUE(w->statusBar()->currentMessage().startsWith(QStringLiteral("queue.txt: 1 item")));

    const struct {
        std::optional<QString> message;
        status_figures figures;
        QString text;
    } cases[] = {
        {std::nullopt, {3, 120, 4, 17, true, 962},
            QStringLiteral("MobileCardwright PPC_1.3.9\r\nReviews for today: 3\r\nTotal items: 120\r\nQueue: 4\r\nDays: "
                           "17\r\nANN state: OK; cases: 962")},
        {std::nullopt, {0, 4000000000u, 2, 65535, false, 962},
            QStringLiteral("MobileCardwright PPC_1.3.9\r\nReviews for today: 0\r\nTotal items: 4000000000\r\nQueue: 2\r\n"
                           "Days: 65535\r\nANN state: High TestError!; cases: 962")},
        {QStringLiteral("No more scheduled reviews."), {0, 1, 2, 3, true, 9},
            QStringLiteral("No more scheduled reviews.\r\nReviews for today: 0\r\nTotal items: 1\r\nQueue: 2\r\nDays: 3")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_status_text(c.message, c.figures), c.text);
    EXPECT_EQ(format_status_text(QString(300, QLatin1Char('m')), cases[0].figures).size(), 255);  // the buffer's size
    // An item that begins bold leaves no bold to the status text.
    add_item("<b>Hund</b> dog", "a");
    show_main_screen();
    key(Qt::Key_Return);
    key(Qt::Key_Escape);
    ASSERT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_EQ(QTextCursor(w->question_box->document()->firstBlock()).charFormat().fontWeight(), QFont::Normal);
}

TEST_F(MainWindow, EveryScreenFitsTheSmallestAndALargeWindow)
{
    const main_layout l = compute_layout(241, 400, 0);
    // band = (185 + 30) / 4 = 53; the last button takes what remains.
    EXPECT_EQ((std::vector{l.question, l.answer, l.grades[0], l.grades[5], l.main_buttons[2], l.main_buttons[3], l.ok}),
        (std::vector{QRect(0, 0, 241, 185), QRect(0, 185, 241, 185), QRect(0, 370, 41, 30), QRect(201, 370, 40, 30),
            QRect(0, 291, 241, 53), QRect(0, 344, 241, 56), QRect(0, 370, 241, 30)}));
    add_item("Welches Tier bellt?", "der Hund", 0, -1);
    for (const QSize size : {QSize(1, 1), QSize(1600, 1000)}) {
        SCOPED_TRACE(size.width());
        show_main_screen();
        w->resize(size);
        QApplication::processEvents();
        check_fits("main");
        const main_layout expected = compute_layout(client()->width(), client()->height(), 0);
        EXPECT_EQ(w->force_button->geometry(), expected.main_buttons[3]);
        EXPECT_TRUE(size.width() > 1 || (w->width() <= 640 && w->height() <= 480)) << w->width() << "x" << w->height();
        key(Qt::Key_Return);
        check_fits("question");
        key(Qt::Key_Return);
        ASSERT_TRUE(grades_shown());
        check_fits("answer and grades");
        EXPECT_EQ(w->grade_buttons[5]->geometry(), expected.grades[5]);
        key(Qt::Key_Escape);
    }
}

TEST_F(MainWindow, TheMenusNameAKeyForEveryActionEachEntryHasItsOwnMnemonicAndF1ExplainsThem)
{
    for (QMenu* menu : w->menuBar()->findChildren<QMenu*>())
        expect_unique_mnemonics(menu, menu->title(), true);
    const std::pair<const char*, const char*> entries[] = {{"reviews_action", "Return"}, {"add_action", "Ins"},
        {"queue_action", "Ctrl+U"}, {"force_action", "Ctrl+F"}, {"answer_action", "Return, Space"}, {"skip_menu_action", "Ctrl+N"},
        {"stop_menu_action", "Esc"}, {"replay_action", "Ctrl+R"}, {"help_action", "F1"}, {"browse_action", "Ctrl+B"},
        {"import_action", "Ctrl+I"}, {"export_action", "Ctrl+E"}, {"statistics_action", "Ctrl+T"}, {"restore_action", "Ctrl+Shift+R"}};
    for (const auto& [name, key] : entries) {
        QAction* a = child<QAction>(w, name);
        const QString shown = a->text().section(QLatin1Char('\t'), 1);
        EXPECT_EQ(shown.isEmpty() ? a->shortcut().toString() : shown, QString::fromUtf8(key)) << name;
    }
    EXPECT_EQ(w->stop_action->text().remove(QLatin1Char('&')) + w->skip_action->text().remove(QLatin1Char('&')),
        QStringLiteral("  Stop    Skip  "));
    EXPECT_EQ(w->grade_buttons[3]->toolTip(), QStringLiteral("Grade 3: recalled with difficulty (key 3)"));

    QMenu* file = w->menuBar()->findChildren<QMenu*>().value(0);
    for (const auto& [k, modifiers] : {std::pair{Qt::Key_F, Qt::AltModifier}, {Qt::Key_F10, Qt::NoModifier}}) {
        client()->setFocus();
        press(k, modifiers);
        QTRY_VERIFY(QApplication::activePopupWidget() == file);
        QTest::keyClick(file, Qt::Key_Escape);
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    }
    // Entries grey where they cannot act, and so do their keys.
    add_item("later", "a", 0, 20);
    show_main_screen();
    client()->setFocus();
    EXPECT_FALSE(child<QAction>(w, "queue_action")->isEnabled());
    press(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(ui().pass.mode(), screen_mode::forced);
    EXPECT_FALSE(child<QAction>(w, "force_action")->isEnabled());
    press(Qt::Key_Return);
    EXPECT_FALSE(child<QAction>(w, "answer_action")->isEnabled());
    press(Qt::Key_Escape);
    in_window<QDialog>([] { press(Qt::Key_F1); }, [](QDialog* help) {
        for (const char* expected : {"Keys and Grades", "Return or Space", "Ctrl+U", "Insert", "Ctrl+N", "Escape",
                 "Grade 0: forgotten", "Grade 5: easy, the interval could be longer"})
            EXPECT_TRUE((help->windowTitle() + help->findChild<QTextBrowser*>()->toPlainText()).contains(QString::fromUtf8(expected))) << expected;
    });
}

class MainWindowSettings : public qt_test {};

TEST_F(MainWindowSettings, BoxFontsComeFromTheSettings)
{
    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, QVariant>>{{"qfontsize", 100000},
             {"qcleartype", 0}, {"afontsize", -7}, {"afontface", "DejaVu Serif"}, {"acleartype", 1}})
        QSettings(settings_file(), QSettings::NativeFormat).setValue(key, value);
    main_window* w = open_window();
    const QFont question = w->question_box->font(), answer = w->answer_box->font();
    EXPECT_TRUE(question.pixelSize() == 512 && answer.pixelSize() == 7) << question.pixelSize() << " " << answer.pixelSize();
    EXPECT_TRUE((question.styleStrategy() & QFont::NoAntialias) && (answer.styleStrategy() & QFont::PreferAntialias));
    EXPECT_EQ(answer.families().value(0), QStringLiteral("DejaVu Serif"));
}
