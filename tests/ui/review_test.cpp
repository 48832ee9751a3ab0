#include <QAction>
#include <QClipboard>
#include <QTimer>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>

#include <cerrno>
#include <cstring>
#include <set>
#include <string_view>

#include "platform/files.h"
#include "platform/platform_state.h"
#include "session/review_log.h"
#include "settings/category_dialog.h"
#include "ui/boxes.h"
#include "ui/screens.h"
#include "ui_fixture.h"
#include "resources/ids.h"
#include "session/lifecycle.h"
#include "settings/settings_store.h"

namespace {

class Review : public ui_test {
protected:
    QString status() const { return question_shown(); }
    // The "  Skip  " entry of the menu bar, clicked.
    void click_skip()
    {
        QMenuBar* bar = w->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(w->skip_action).center());
    }
};

std::set<QString> as_set(std::initializer_list<const char*> texts)
{
    std::set<QString> s;
    for (const char* t : texts)
        s.insert(QString::fromUtf8(t));
    return s;
}

}  // namespace

TEST_F(Review, APassThroughTheDueReviewsWithKeys)
{
    add_item("q1", "a1");
    add_item("q2", "a2", 0, -3);
    add_item("q3", "a3");
    const item* later = add_item("later", "x", 0, 5);
    show_main_screen();

    key(Qt::Key_Return);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (3)"));
    EXPECT_TRUE(w->review_button->isHidden());
    EXPECT_FALSE(w->ok_button->isHidden());
    EXPECT_FALSE(w->answer_box->isHidden());
    EXPECT_TRUE(w->stop_action->isEnabled());
    EXPECT_TRUE(w->skip_action->isEnabled());

    std::set<QString> seen;
    for (int step = 0; step < 20 && ui().pass.mode() == screen_mode::scheduled; ++step) {
        const QString question = question_shown();
        seen.insert(question);
        EXPECT_TRUE(answer_shown().isEmpty());
        EXPECT_FALSE(grades_shown());
        // Digits before the reveal grade nothing.
        key(Qt::Key_5);
        EXPECT_EQ(question_shown(), question);
        key(Qt::Key_Return);
        EXPECT_TRUE(w->ok_button->isHidden());
        ASSERT_TRUE(grades_shown());
        EXPECT_EQ(answer_shown(), QString(question).replace('q', 'a'));
        key(Qt::Key_9);  // not a grade
        EXPECT_EQ(question_shown(), question);
        key(Qt::Key_5);
        if (ui().pass.mode() == screen_mode::scheduled) {
            EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (%1)").arg(count_due(0, nullptr)));
        }
    }
    EXPECT_EQ(seen, as_set({"q1", "q2", "q3"}));
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright"));
    EXPECT_TRUE(status().startsWith(QStringLiteral("No more scheduled reviews.\nReviews for today: 0\n")));
    EXPECT_FALSE(w->review_button->isEnabled());
    EXPECT_FALSE(w->skip_action->isEnabled());
    EXPECT_EQ(later->gr, 0);
}

TEST_F(Review, AGradeTheFullDiskCannotLogIsToldOnce)
{
    add_item("q1", "a1");
    add_item("q2", "a2");
    show_main_screen();
    fail_file_operations({{.op = file_op::write, .path_part = "reviews.log", .error = ENOSPC}});
    key(Qt::Key_Return);
    for (int grade = 0; grade < 2; ++grade) {
        key(Qt::Key_Return);
        key(Qt::Key_4);
    }
    fail_file_operations({});
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Review Not Logged"));
    EXPECT_TRUE(recorded_messages()[0].text.contains(QString::fromUtf8(std::strerror(ENOSPC))));
    EXPECT_EQ(held_review_count(), 2u);
}

TEST_F(Review, ButtonsWithThe300MsRule)
{
    add_item("q1", "a1");
    add_item("q2", "a2");
    show_main_screen();
    click(w->review_button);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (2)"));
    const QString first = question_shown();

    click(w->ok_button);
    ASSERT_TRUE(grades_shown());
    click(w->grade_buttons[4], 299);  // too soon after OK: a double tap
    EXPECT_EQ(question_shown(), first);
    click(w->grade_buttons[4], 1);
    ASSERT_NE(question_shown(), first);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (1)"));
    // The second tap of a double tap on the grade does not grade the next item; OK needs more
    // than 300 ms.
    click(w->ok_button, 300);
    EXPECT_FALSE(grades_shown());
    click(w->ok_button, 1);
    ASSERT_TRUE(grades_shown());
    click(w->grade_buttons[4]);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_TRUE(status().startsWith(QStringLiteral("No more scheduled reviews.")));
}

TEST_F(Review, SkipFromTheMenuBarShowsWhatThePassChoseAndItsEnd)
{
    add_item("one", "a");
    add_item("two", "b");
    show_main_screen();
    key(Qt::Key_Return);
    const QString first = question_shown();
    click_skip();
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_NE(question_shown(), first);
    EXPECT_EQ(question_shown().toStdString(), ui().pass.current_item()->question);
    EXPECT_FALSE(grades_shown());

    add_pending("p1", "x");
    show_main_screen();
    click(w->queue_button);
    click_skip();
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_TRUE(status().startsWith(QStringLiteral("No more items in queue.")));
}

TEST_F(Review, EditingInPlaceShowsTagsWhileEditingAndMovesMediaToTheEnd)
{
    item* e = add_item("a <b>bold</b> word <snd>s.wav</snd>end", "<img>pic.png</img> ans<snd>/abs/a.wav</snd>");
    show_main_screen();
    key(Qt::Key_Return);
    EXPECT_EQ(question_shown(), QStringLiteral("a bold word end"));
    EXPECT_EQ(media_log(), (std::vector<std::string>{"stop", "play " + data_dir() + "s.wav"}));

    // Tapping into the box shows the tags (never the media); leaving hides them again.
    w->question_box->setFocus();
    EXPECT_EQ(question_shown(), QStringLiteral("a <b>bold</b> word end"));
    w->question_box->moveCursor(QTextCursor::End);
    QTest::keyClicks(w->question_box, " <i>more</i>");
    client()->setFocus();
    EXPECT_EQ(question_shown(), QStringLiteral("a bold word end more"));
    EXPECT_EQ(ui().question_text, "a <b>bold</b> word end <i>more</i>");

    // The unrevealed answer box cannot be typed into.
    EXPECT_TRUE(w->answer_box->isReadOnly());
    key(Qt::Key_Return);
    EXPECT_EQ(answer_shown(), QStringLiteral(" ans <img>"));
    EXPECT_EQ(media_log().back(), "play /abs/a.wav");
    // A double tap in a box without a picture opens nothing.
    media_log().clear();
    QTest::mouseDClick(w->question_box->viewport(), Qt::LeftButton);
    EXPECT_TRUE(media_log().empty());

    w->answer_box->setFocus();
    EXPECT_EQ(answer_shown(), QStringLiteral(" ans"));
    w->answer_box->moveCursor(QTextCursor::End);
    QTest::keyClick(w->answer_box, Qt::Key_Return);
    QTest::keyClicks(w->answer_box, "line2");
    click(w->grade_buttons[3]);
    EXPECT_EQ(e->question, "a <b>bold</b> word end <i>more</i><snd>s.wav</snd>");
    EXPECT_EQ(e->answer, " ans\nline2<img>pic.png</img><snd>/abs/a.wav</snd>");
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    // Writing back twice gives the same texts.
    write_back_item(e);
    EXPECT_EQ(e->question, "a <b>bold</b> word end <i>more</i><snd>s.wav</snd>");
}

TEST_F(Review, TextsTooLongForTheScreenAreRefusedNotCut)
{
    const std::string long_question(9000, 'x');
    item* e = add_item(long_question, "short");
    show_main_screen();
    key(Qt::Key_Return);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Text Too Long"));
    EXPECT_TRUE(recorded_messages()[0].text.contains(QStringLiteral("9000 bytes")));
    EXPECT_TRUE(recorded_messages()[0].text.contains(QStringLiteral("8,191 bytes")));
    EXPECT_TRUE(question_shown().isEmpty());
    EXPECT_TRUE(w->question_box->isReadOnly());
    key(Qt::Key_Return);
    EXPECT_EQ(answer_shown(), QStringLiteral("short"));
    key(Qt::Key_4);
    EXPECT_EQ(e->question, long_question);
    EXPECT_EQ(e->gr, 4);
    remove_item(e);

    // An edit that grows past the limit stays in the box and keeps the item on screen.
    item* f = add_item("short", "b", 0, -1);
    show_main_screen();
    key(Qt::Key_Return);
    ASSERT_EQ(ui().pass.current_item(), f);
    key(Qt::Key_Return);
    w->question_box->setFocus();
    const QString typed(8190, QLatin1Char('y'));
    w->question_box->selectAll();
    w->question_box->insertPlainText(typed + QStringLiteral("\n"));
    client()->setFocus();
    ASSERT_EQ(recorded_messages().size(), 2u);
    EXPECT_TRUE(recorded_messages()[1].text.contains(QStringLiteral("8192 bytes")));
    EXPECT_EQ(question_shown(), typed + QStringLiteral("\n"));
    key(Qt::Key_2);
    EXPECT_EQ(recorded_messages().size(), 3u);
    EXPECT_EQ(ui().pass.current_item(), f);
    EXPECT_EQ(f->question, "short");
    // Shortened, it is taken.
    w->question_box->setFocus();
    w->question_box->selectAll();
    w->question_box->insertPlainText(typed);
    client()->setFocus();
    key(Qt::Key_2);
    EXPECT_EQ(f->question, typed.toStdString());
    EXPECT_EQ(recorded_messages().size(), 3u);
}

TEST_F(Review, AHeldButtonLimitsThePassToTheTickedCategoriesAndRemembersThem)
{
    const uint16_t french = add_category("French", 0);
    const uint16_t verbs = add_category("Verbs", french);
    const uint16_t maths = add_category("Maths", 0);
    add_item("bonjour", "hello", french);
    add_item("aller", "to go", verbs);
    add_item("2+2", "4", maths);
    show_main_screen();

    on_next_modal([french](QWidget* modal) {
        auto* dialog = static_cast<category_selection_dialog*>(modal);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Category Selection"));
        dialog->item_of(french)->setCheckState(0, Qt::Checked);
        dialog->accept();
    });
    QTest::mouseClick(w->review_button, Qt::RightButton);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (2)"));
    std::set<QString> seen;
    for (int step = 0; step < 10 && ui().pass.mode() == screen_mode::scheduled; ++step) {
        seen.insert(question_shown());
        key(Qt::Key_Return);
        key(Qt::Key_5);
    }
    EXPECT_EQ(seen, as_set({"bonjour", "aller"}));
    EXPECT_EQ(count_due(0, nullptr), 1u);
    ASSERT_TRUE(ui().settings_record->acs1);
    EXPECT_EQ(*ui().settings_record->acs1, std::vector<uint8_t>{static_cast<uint8_t>(1u << french)});

    // Cancelling the dialog leaves the main screen as it was.
    on_next_modal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    QTest::mouseClick(w->review_button, Qt::RightButton);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_FALSE(ui().pass.selection());
    // Without the hold every category counts again.
    click(w->review_button);
    EXPECT_EQ(question_shown(), QStringLiteral("2+2"));
}

TEST_F(Review, HoldingTheQueueButtonAsksForTheQueuesOwnCategories)
{
    const uint16_t sub = add_category("Sub", -1);
    add_pending("in sub", "x", sub);
    add_pending("in root", "y", 0);
    add_item("due", "a", 0, 0);
    show_main_screen();
    // Tick only "Sub" in the dialog that the held button opens.
    on_next_modal([](QWidget* dialog) {
        auto* tree = dialog->findChild<QTreeWidget*>();
        ASSERT_NE(tree, nullptr);
        for (QTreeWidgetItem* item : tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive))
            item->setCheckState(0, item->text(0).startsWith(QStringLiteral("Sub")) ? Qt::Checked : Qt::Unchecked);
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(w->queue_button, Qt::RightButton);
    ASSERT_EQ(ui().pass.mode(), screen_mode::queue);
    EXPECT_EQ(ui().ask_categories_queue, 1);
    EXPECT_EQ(ui().ask_categories_forced, 0);
    EXPECT_EQ(ui().ask_categories_scheduled, 0);
    EXPECT_EQ(question_shown(), QStringLiteral("in sub"));
    // The choice is remembered for the queue, and only for it.
    const settings& s = *ui().settings_record;
    ASSERT_TRUE(s.acs2.has_value());
    EXPECT_EQ(selection_from_settings(&s.acs2)[sub], 1);
    EXPECT_FALSE(s.acs1.has_value());
    EXPECT_FALSE(s.acs4.has_value());
}

TEST_F(Review, TheBoxMenuOffersWhatCanBeDone)
{
    auto texts = [](QMenu& menu) {
        QStringList t;
        for (QAction* a : menu.actions())
            t << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "" : "(grey)"));
        return t.join(QLatin1Char('|'));
    };
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(texts(*make_box_menu(w->question_box)), QStringLiteral("Cut(grey)|Copy(grey)|Paste(grey)|-|Undo(grey)"));

    add_item("hello world", "a");
    show_main_screen();
    key(Qt::Key_Return);
    w->question_box->setFocus();
    w->question_box->selectAll();
    EXPECT_EQ(texts(*make_box_menu(w->question_box)),
        QStringLiteral("Cut|Copy|Paste(grey)|-|Undo(grey)|-|Delete This Item"));
    post_box_command(w->question_box, box_copy);
    QApplication::processEvents();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("hello world"));
    post_box_command(w->question_box, box_cut);
    QApplication::processEvents();
    EXPECT_TRUE(question_shown().isEmpty());
    EXPECT_EQ(texts(*make_box_menu(w->question_box)),
        QStringLiteral("Cut(grey)|Copy(grey)|Paste|-|Undo|-|Delete This Item"));
    post_box_command(w->question_box, box_undo);
    QApplication::processEvents();
    EXPECT_EQ(question_shown(), QStringLiteral("hello world"));

    // Neither on the add screen nor on the main screen can an item be deleted from the menu.
    show_main_screen();
    on_next_modal([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
    run_command(w, 22);
    ASSERT_EQ(ui().pass.mode(), screen_mode::add);
    EXPECT_FALSE(texts(*make_box_menu(w->answer_box)).contains(QStringLiteral("Delete")));
    post_box_command(w->answer_box, delete_item_message);
    QApplication::processEvents();
    EXPECT_TRUE(recorded_messages().empty());
}

// A right click reaches the same menu (the keyboard tests); a held press opens it too.
TEST_F(Review, AHeldPressOpensTheMenuOfTheBox)
{
    add_item("one", "a");
    add_item("two", "b");
    show_main_screen();
    key(Qt::Key_Return);
    // The last entry is "Delete This Item" (the box menu's test).
    choose_last_entry_of_next_popup();
    message_answers() = {message_answer::yes};
    QTest::mousePress(w->answer_box->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTRY_COMPARE(recorded_messages().size(), 1u);
    QTest::mouseRelease(w->answer_box->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(recorded_messages()[0].text, QStringLiteral("Do you want to delete currently visible item?"));
    EXPECT_EQ(db().item_count, 1u);
}
