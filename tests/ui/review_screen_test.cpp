// The review screens driven by keys and clicks; what the pass chooses is the session's.

#include "settings/category_dialog.h"
#include "settings/settings_store.h"
#include "ui/boxes.h"
#include "ui/item_box.h"
#include "ui/screens.h"
#include "ui_fixture.h"

namespace {

class ReviewScreen : public ui_test {
protected:
    // Waits out the box's wait for a double click.
    void click_into(QPlainTextEdit* box)
    {
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QTRY_VERIFY(!box_timer_running(box, "edit_after_click"));
    }
    bool focus_in(const QPlainTextEdit* box) const
    {
        QWidget* f = QApplication::focusWidget();
        return f && (f == box || box->isAncestorOf(f));
    }
    QString undo_text() const  // named when the File menu opens
    {
        QMenu* menu = w->menuBar()->findChildren<QMenu*>().value(0);
        emit menu->aboutToShow();
        const QString text = w->undo_action->isEnabled() ? w->undo_action->text() : QString();
        emit menu->aboutToHide();
        return text;
    }
    // A letter a character: b bold, i italic, u underlined, s struck out, . plain.
    static std::string styles(QPlainTextEdit* box)
    {
        std::string s;
        for (QTextCursor c(box->document()); c.movePosition(QTextCursor::NextCharacter);) {
            const QTextCharFormat f = c.charFormat();
            s += f.fontWeight() == QFont::Bold ? 'b' : f.fontItalic() ? 'i' : f.fontUnderline() ? 'u' : f.fontStrikeOut() ? 's' : '.';
        }
        return s;
    }
};

}  // namespace

TEST_F(ReviewScreen, APassByKeysShowsEachItemAndCtrlZBringsTheLastGradeBack)
{
    add_item("q1", "a1", 0, -3)->ivl = 3;
    add_item("q2", "a2");
    add_item("later", "x", 0, 5);
    show_main_screen();
    key(Qt::Key_Return);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (2)"));
    EXPECT_TRUE(w->review_button->isHidden() && w->stop_action->isEnabled() && w->skip_action->isEnabled());
    const QString first = question_shown();
    key(Qt::Key_5);  // digits before the reveal grade nothing
    EXPECT_FALSE(grades_shown());
    EXPECT_TRUE(w->answer_box->placeholderText().startsWith(QStringLiteral("Recall the answer, then press Return")));
    key(Qt::Key_Return);
    ASSERT_TRUE(grades_shown() && w->ok_button->isHidden() && w->answer_box->placeholderText().isEmpty());
    EXPECT_EQ(answer_shown(), QString(first).replace('q', 'a'));
    key(Qt::Key_9);  // not a grade
    EXPECT_EQ(question_shown(), first);
    key(Qt::Key_4);
    ASSERT_NE(question_shown(), first);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (1)"));
    EXPECT_EQ(undo_text(), QStringLiteral("&Undo Grade 4 of \"%1\"").arg(first));
    key(Qt::Key_Return);
    key(Qt::Key_3);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright"));
    EXPECT_TRUE(question_shown().startsWith(QStringLiteral("No more scheduled reviews.\nReviews for today: 0\n")));
    EXPECT_FALSE(w->review_button->isEnabled() || w->skip_action->isEnabled());
    QTest::keyClick(client(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_NE(question_shown(), first);
    EXPECT_TRUE(answer_shown().isEmpty() && !w->ok_button->isHidden() && w->review_button->isHidden());
    EXPECT_EQ(w->question_box->focusPolicy(), Qt::StrongFocus);
    EXPECT_TRUE(w->status_line->text().contains(QStringLiteral("Due today: 1"))) << w->status_line->text().toStdString();
    message_answers() = {message_answer::yes};
    key(Qt::Key_Delete);
    EXPECT_EQ(db().item_count, 2u);
    EXPECT_TRUE(undo_text().isEmpty() && w->status_line->text().contains(QStringLiteral("Due today: 0")));
}

TEST_F(ReviewScreen, AnItemRestedAfterItsFourthFailureLeavesWithAWord)
{
    add_item("hard", "a", 0, -3)->ivl = 3;
    show_main_screen();
    key(Qt::Key_Return);
    for (int failure = 1; failure <= 4; ++failure) {
        ASSERT_EQ(question_shown(), QStringLiteral("hard")) << failure;
        if (failure == 4) {
            add_item("next", "b", 0, -1);
            w->statusBar()->showMessage(QStringLiteral("an earlier item's word, still up"));
        }
        key(Qt::Key_Return);
        key(Qt::Key_0);
    }
    EXPECT_EQ(question_shown(), QStringLiteral("next"));
    EXPECT_EQ(w->statusBar()->currentMessage(), QStringLiteral("Not recalled 4 times today: this item comes back another day."));
}

TEST_F(ReviewScreen, ButtonsKeepThe300MsRuleAndSkipComesFromTheMenuBar)
{
    add_item("q1", "a1");
    add_item("q2", "a2");
    show_main_screen();
    click(w->review_button);
    const QString first = question_shown();
    click(w->ok_button);
    ASSERT_TRUE(grades_shown());
    click(w->grade_buttons[4], 299);  // too soon after OK: a double tap
    EXPECT_EQ(question_shown(), first);
    click(w->grade_buttons[4], 1);
    ASSERT_NE(question_shown(), first);
    click(w->ok_button, 300);  // the double tap's second tap reveals nothing
    EXPECT_FALSE(grades_shown());
    click(w->ok_button, 1);
    EXPECT_TRUE(grades_shown());
    QTest::mouseClick(w->menuBar(), Qt::LeftButton, {}, w->menuBar()->actionGeometry(w->skip_action).center());
    EXPECT_TRUE(question_shown().startsWith(QStringLiteral("No more scheduled reviews.")));
}

TEST_F(ReviewScreen, KeysWorkWhereverTheFocusIsUnlessABoxIsBeingEdited)
{
    show_main_screen();
    for (Qt::Key k : {Qt::Key_0, Qt::Key_5, Qt::Key_Escape, Qt::Key_Delete})
        key(k);
    EXPECT_TRUE(ui().pass.mode() == screen_mode::main && recorded_messages().empty());
    item* first = add_item("eins", "one");
    item* second = add_item("zwei", "two");
    show_main_screen();
    press(Qt::Key_Return);
    item* shown = ui().pass.current_item();
    item* other = shown == first ? second : first;
    // A click into the empty answer box before the reveal leaves the keys working.
    click_into(w->answer_box);
    press(Qt::Key_Space);
    ASSERT_TRUE(grades_shown());
    press(Qt::Key_2);
    EXPECT_EQ(shown->gr, 2);
    ASSERT_EQ(ui().pass.current_item(), other);

    // In a box being edited the keys are text; Ctrl+Return reveals and Ctrl+digit grades.
    click_into(w->question_box);
    press(Qt::Key_End, Qt::ControlModifier);
    type(QStringLiteral(" 3"));
    press(Qt::Key_Delete);
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(grades_shown());
    EXPECT_TRUE(focus_in(w->question_box) && recorded_messages().empty());
    press(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(std::tuple(other->gr, other->question), std::tuple(3, (other == first ? "eins" : "zwei") + std::string(" 3")));
    // Escape ends an edit; the next Escape leaves the screen.
    show_main_screen();
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(ui().pass.mode(), screen_mode::forced);
    item* forced = ui().pass.current_item();
    const std::string before = forced->question;
    click_into(w->question_box);
    press(Qt::Key_End, Qt::ControlModifier);
    type(QStringLiteral("<b>!</b>"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(focus_in(w->question_box));
    EXPECT_EQ(question_shown().toStdString(), before + "!");
    press(Qt::Key_Escape);
    EXPECT_EQ(std::tuple(ui().pass.mode(), forced->question), std::tuple(screen_mode::main, before + "<b>!</b>"));
}

TEST_F(ReviewScreen, PicturesAndFormattingAreDrawnWhileShownTheTagsWhileEditedAndOnlyLocalPicturesOpen)
{
    write_file(data_dir() + "s.wav", "RIFF");
    item* e = add_item("<b>bold</b> <i>it</i> <u>un</u> <s>st</s> </b>x<snd>s.wav</snd>", "<img>p.png</img> ans");
    show_main_screen();
    key(Qt::Key_Return);
    QPlainTextEdit* box = w->question_box;
    ASSERT_EQ(question_shown(), QStringLiteral("bold it un st </b>x"));
    EXPECT_EQ(media_log(), (std::vector<std::string>{"stop", "play " + data_dir() + "s.wav"}));
    EXPECT_EQ(styles(box), "bbbb.ii.uu.ss......");  // a closing tag with nothing open is text
    // Editing shows the tags, plain, never the media; the media go back at the end.
    box->setFocus();
    EXPECT_EQ(std::tuple(question_shown(), styles(box)),
        std::tuple(QStringLiteral("<b>bold</b> <i>it</i> <u>un</u> <s>st</s> </b>x"), std::string(47, '.')));
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, "<i>y</i>");
    client()->setFocus();
    EXPECT_EQ(question_shown(), QStringLiteral("bold it un st </b>xy"));
    EXPECT_TRUE(w->answer_box->isReadOnly());  // the unrevealed answer cannot be typed into
    key(Qt::Key_Return);
    EXPECT_EQ(answer_shown(), QStringLiteral(" ans <img>"));
    click(w->grade_buttons[3]);
    EXPECT_EQ(e->question, "<b>bold</b> <i>it</i> <u>un</u> <s>st</s> </b>x<i>y</i><snd>s.wav</snd>");

    const size_t logged = read_file(data_dir() + "error.log").size();
    for (const auto& [name, size] : {std::pair{"cat.png", QSize(1600, 1200)}, {"dot.png", QSize(20, 10)}}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(QString::fromStdString(data_dir() + name)));
    }
    write_file(data_dir() + "meow.wav", "RIFF");
    add_item("cat <img>cat.png</img><snd>meow.wav</snd>", "<snd>purr.wav</snd>a <img>dot.png</img>", 0, -2);
    show_main_screen();
    client()->setFocus();
    press(Qt::Key_Return);
    ASSERT_EQ(question_shown(), QStringLiteral("cat  <img>"));
    QLabel* picture = w->question_box->picture_label();
    ASSERT_TRUE(w->question_box->shows_picture() && picture->isVisible());
    // Scaled to fit, the shape kept, under its line.
    const QSize drawn = picture->pixmap().deviceIndependentSize().toSize();
    EXPECT_LE(drawn.height(), w->question_box->height() / 2);
    EXPECT_NEAR(drawn.width() * 3.0 / 4.0, drawn.height(), 2.0);
    EXPECT_LE(w->question_box->viewport()->geometry().bottom(), picture->geometry().top());
    EXPECT_LT(picture->geometry().top(), w->question_box->height() / 4);

    media_log().clear();
    press(Qt::Key_R, Qt::ControlModifier);
    QTest::mouseDClick(w->question_box->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(box_timer_running(w->question_box, "edit_after_click"));  // no edit begun
    EXPECT_EQ(media_log(), (std::vector<std::string>{"stop", "play " + data_dir() + "meow.wav", "open " + data_dir() + "cat.png"}));
    press(Qt::Key_Space);
    EXPECT_EQ(w->answer_box->picture_label()->pixmap().deviceIndependentSize().toSize(), QSize(20, 10));  // not enlarged
    // Another computer's path and an unreadable picture: the box says so, naming the file.
    ASSERT_TRUE(QFile(QString::fromStdString(data_dir() + "bad.png")).open(QIODevice::WriteOnly));
    item* remote = add_item("remote<img>//host/c.png</img>", "<img>bad.png</img>", 0, -1);
    press(Qt::Key_4);
    ASSERT_EQ(ui().pass.current_item(), remote);
    EXPECT_FALSE(w->question_box->shows_picture());
    client()->setFocus();
    press(Qt::Key_Return);
    EXPECT_FALSE(w->answer_box->shows_picture());
    EXPECT_NE(read_file(data_dir() + "error.log").find("Cannot show the picture", logged), std::string::npos);
    for (item_box* box : {w->question_box, w->answer_box})
        EXPECT_TRUE(box->picture_label()->isVisible() && box->picture_label()->text().contains(QStringLiteral("cannot be shown")));
    EXPECT_TRUE(w->answer_box->picture_label()->text().contains(QStringLiteral("bad.png")));
    press(Qt::Key_Escape);
    EXPECT_FALSE(w->question_box->picture_label()->isVisible());  // the status text has no note
}

TEST_F(ReviewScreen, TextsTooLongForTheScreenAreRefusedNotCut)
{
    item* e = add_item(std::string(9000, 'x'), "short");
    show_main_screen();
    key(Qt::Key_Return);
    ASSERT_TRUE(told(1, 0, QStringLiteral("Text Too Long"), QStringLiteral("9000 bytes")));
    EXPECT_TRUE(question_shown().isEmpty() && w->question_box->isReadOnly());
    key(Qt::Key_Return);
    key(Qt::Key_4);
    EXPECT_TRUE(e->question.size() == 9000u && e->gr == 4);
    remove_item(e);
    // An edit that grows past the limit stays in the box and keeps the item on screen.
    item* f = add_item("short", "b", 0, -1);
    show_main_screen();
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    const QString typed(8190, QLatin1Char('y'));
    for (const QString& text : {typed + QStringLiteral("\n"), typed}) {
        w->question_box->setFocus();
        w->question_box->selectAll();
        w->question_box->insertPlainText(text);
        client()->setFocus();
        key(Qt::Key_2);
    }
    ASSERT_TRUE(told(3, 1, {}, QStringLiteral("8192 bytes")));
    EXPECT_EQ(f->question, typed.toStdString());
}

TEST_F(ReviewScreen, TheBoxMenuOffersWhatCanBeDoneAndADeletionIsAskedFirst)
{
    auto texts = [](QPlainTextEdit* box) {
        QStringList t;
        const std::unique_ptr<QMenu> menu = make_box_menu(box);
        for (QAction* a : menu->actions())
            t << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "" : "(grey)"));
        return t.join(QLatin1Char('|'));
    };
    auto choose = [](int command) {
        on_next_popup([command](QMenu* menu) {
            for (int i = 0; i < 8 && !(menu->activeAction() && menu->activeAction()->data() == QVariant(command)); ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
    };
    auto right_click = [this] { QTest::mouseClick(w->windowHandle(), Qt::RightButton, {}, w->question_box->viewport()->mapTo(w, QPoint(20, 20))); };
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(texts(w->question_box), QStringLiteral("Cut(grey)|Copy(grey)|Paste(grey)|-|Undo(grey)"));
    add_item("hello world", "a");
    add_item("other", "b");
    show_main_screen();
    key(Qt::Key_Return);
    const QString shown = question_shown();
    w->question_box->setFocus();
    w->question_box->selectAll();
    EXPECT_EQ(texts(w->question_box), QStringLiteral("Cut|Copy|Paste(grey)|-|Undo(grey)|-|Delete This Item"));
    choose(box_cut);
    right_click();
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), shown);
    EXPECT_EQ(texts(w->question_box), QStringLiteral("Cut(grey)|Copy(grey)|Paste|-|Undo|-|Delete This Item"));
    choose(box_undo);
    right_click();
    QTRY_COMPARE(question_shown(), shown);
    activate();  // the menu gone
    // Delete asks with the real box, whose default is No: Return keeps the item.
    const message_box_function recorder = ui().message_box;
    ui().message_box = nullptr;
    on_next_modal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    press(Qt::Key_Delete);
    EXPECT_EQ(db().item_count, 2u);
    activate();
    on_next_modal([](QWidget* modal) { QTest::mouseClick(qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes), Qt::LeftButton); });
    choose(delete_item_message);
    right_click();
    QTRY_COMPARE(db().item_count, 1u);
    activate();
    ASSERT_NE(question_shown(), shown);
    press(Qt::Key_Return);
    ASSERT_TRUE(grades_shown());
    // A held press opens the same menu.
    ui().message_box = recorder;
    message_answers() = {message_answer::yes};
    choose(delete_item_message);
    QTest::mousePress(w->answer_box->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTRY_COMPARE(db().item_count, 0u);
    QTest::mouseRelease(w->answer_box->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(recorded_messages().back().text, QStringLiteral("Do you want to delete currently visible item?"));
}

TEST_F(ReviewScreen, AHeldButtonAsksForTheCategoriesOfItsPassAndTheKeyboardDoesNot)
{
    const uint16_t french = add_category("French", 0);
    add_item("bonjour", "hello", french);
    add_item("2+2", "4");
    add_test_pending(french, "salut", "hi");
    add_test_pending(0, "3+3", "6");
    const struct {
        QPushButton* button;
        screen_mode mode;
        category_set settings::*remembered;
        const char* first;
    } buttons[] = {{w->review_button, screen_mode::scheduled, &settings::acs1, "bonjour"},
        {w->queue_button, screen_mode::queue, &settings::acs2, "salut"}};
    show_main_screen();
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.first);
        on_next_modal([french](QWidget* modal) {
            static_cast<category_selection_dialog*>(modal)->item_of(french)->setCheckState(0, Qt::Checked);
            static_cast<QDialog*>(modal)->accept();
        });
        QTest::mouseClick(b.button, Qt::RightButton);
        ASSERT_EQ(ui().pass.mode(), b.mode);
        EXPECT_EQ(question_shown(), QString::fromLatin1(b.first));
        const category_set& remembered = (*ui().settings_record).*b.remembered;
        EXPECT_TRUE(remembered && selection_from_settings(&remembered)[french] == 1);
        key(Qt::Key_Escape);
    }
    EXPECT_FALSE(ui().settings_record->acs4);
    // Cancelled, the main screen stays; the keyboard then asks nothing and takes every category.
    on_next_modal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    QTest::mouseClick(w->review_button, Qt::RightButton);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    activate();
    press(Qt::Key_Return);
    EXPECT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_FALSE(ui().pass.selection());
}

TEST_F(ReviewScreen, RightToLeftTextsStandAtTheRightAndADarkPaletteDrawsLightText)
{
    QPalette dark;
    for (const auto role : {QPalette::Base, QPalette::Window, QPalette::Button})
        dark.setColor(role, QColor(30, 30, 30));
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        dark.setColor(role, QColor(230, 230, 230));
    const QPalette before = QApplication::palette();
    QApplication::setPalette(dark);
    add_item("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "<b>WWWWWWWW</b> <i>MMMMMMMM</i>", 0, -1);  // Hebrew
    show_main_screen();
    press(Qt::Key_Return);
    press(Qt::Key_Return);
    QApplication::processEvents();
    const QImage shot = w->answer_box->viewport()->grab().toImage();
    QApplication::setPalette(before);
    const QRectF hebrew = w->question_box->document()->firstBlock().layout()->lineAt(0).naturalTextRect();
    EXPECT_GT(hebrew.left(), w->question_box->viewport()->width() / 2.0);
    const QRectF latin = w->answer_box->document()->firstBlock().layout()->lineAt(0).naturalTextRect();
    EXPECT_LT(latin.left(), w->answer_box->viewport()->width() / 4.0);
    int light = 0, dark_pixels = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            light += qGray(shot.pixel(x, y)) > 180;
            dark_pixels += qGray(shot.pixel(x, y)) < 60;
        }
    EXPECT_GT(dark_pixels, shot.width() * shot.height() / 2);  // the box is dark
    EXPECT_GT(light, 50);  // and its text is light, bold and italic alike
}
